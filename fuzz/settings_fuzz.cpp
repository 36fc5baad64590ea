// Feeds arbitrary bytes to settings.ini handling as the main window does: the options read at
// start-up, the grid layouts restored into the grids of two forms, and the layouts written back
// when the program closes. Nothing may crash or take unbounded memory; after the layouts are
// written, reading them again must give every grid exactly the columns and widths it had.

#include "controls/record_grid.h"
#include "platform/errors.h"
#include "platform/form.h"
#include "project_harness.h"
#include "shell/settings.h"

#include <QAction>
#include <cstdlib>
#include <vector>

namespace {

struct Grids {
    std::vector<TForm*> forms;
    std::vector<TdbStringGridEx*> grids;
    QAction* designerItem = nullptr;
};

Grids& grids()
{
    static Grids g;
    if (g.forms.empty()) {
        const char* const names[][3] = {{"frmMain", "Grid1", "Grid2"}, {"Form2", "gridA", "gridB"}};
        for (const auto& name : names) {
            auto* form = new TForm();
            form->setFormName(QString::fromLatin1(name[0]));
            Forms::registerForm(form);
            for (int i = 1; i < 3; ++i) {
                auto* grid = new TdbStringGridEx(form->client());
                form->addComponent(grid, QString::fromLatin1(name[i]));
                g.grids.push_back(grid);
            }
            g.forms.push_back(form);
        }
        g.designerItem = new QAction(g.forms.front());
    }
    return g;
}

void resetGrids()
{
    for (TdbStringGridEx* grid : grids().grids) {
        grid->dbIfUsed = false;
        grid->setColCount(5);
        for (int c = 0; c < 5; ++c)
            grid->setColumnWidth(c, 64);
    }
}

struct Layout {
    int count;
    std::vector<int> widths;
    bool operator==(const Layout&) const = default;
};

std::vector<Layout> layouts()
{
    std::vector<Layout> all;
    for (const TdbStringGridEx* grid : grids().grids) {
        Layout layout{grid->colCount(), {}};
        for (int c = 0; c < layout.count; ++c)
            layout.widths.push_back(grid->columnWidth(c));
        all.push_back(std::move(layout));
    }
    return all;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    startOffscreenProject(argc, argv);
    grids();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    resetGrids();
    if (!writeInput(settingsFileName(), data, size))
        return 0;

    try {
        (void)LoadOptions(grids().designerItem);
        LoadGridSettings();
        for (TdbStringGridEx* grid : grids().grids)
            grid->dbIfUsed = true;
        const std::vector<Layout> restored = layouts();
        SaveGridSettings();
        resetGrids();
        LoadGridSettings();
        if (layouts() != restored)
            std::abort();
    } catch (const VarnelError&) {
    }
    return 0;
}
