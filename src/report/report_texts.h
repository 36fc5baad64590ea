#pragma once

#include <QString>

// The report engine's own captions, English or Russian, following the program's language.
struct ReportTexts {
    QString preview;
    QString firstPage, previousPage, nextPage, lastPage;
    QString ofPages;       // "of %1"
    QString pageNumber;    // "Page %1"
    QString wholePage, pageWidth;
    QString zoomIn, zoomOut;
    QString find, findPlaceholder, notFound; // notFound: "%1" stands for the text
    QString print, exportTo, close;
    QString pdfFilter, jpegFilter, tiffFilter;
    QString xlsFilter, rtfFilter, htmlFilter, odtFilter, odsFilter;
    QString pictureSettings, resolution, quality, ok, cancel;
    QString pages;
    QString information;
};

// The texts for the language the program speaks (the one its message texts are in).
const ReportTexts& reportTexts();
