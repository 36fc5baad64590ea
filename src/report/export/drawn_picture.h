#pragma once

#include "report/engine/page_document.h"

#include <QByteArray>
#include <QSize>

// Barcodes and charts are drawn as vectors on the pages; documents that cannot hold such a
// drawing (word processor, web page, spreadsheet) take it as a picture of the box instead.
bool isDrawnBox(const PageBox& box);

// PNG bytes of the box drawn as the pages draw it, on white; its size in pixels in *pixels.
QByteArray drawnPicture(const PageDocument& doc, const Page& page, const PageBox& box, QSize* pixels = nullptr);
