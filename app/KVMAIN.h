// The main window: its controls, the start-up sequence that fills them, the
// first paint's actions and the command table.
#pragma once

#include <memory>
#include <string>

#include "app/AdapterContext.h"
#include "platform/Platform.h"
#include "platform/SharedRegistry.h"
#include "ui/Form.h"

namespace kv {

inline constexpr int kGridRows = 15;

class TForm1 : public ui::Form {
public:
    explicit TForm1(Platform& platform);

    // The creation handler: runs the start-up sequence.
    void FormCreate();
    void StartupSequence();
    void FormPaint();
    void tcMainTabsChange();

    // Runs one command the way the window system delivers an event: a
    // command that the shared registry aborts shows its message, and the
    // program goes on.
    void RunCommand(const std::function<void()>& command);

    Platform& platform;
    AdapterContext adapter;
    std::unique_ptr<SharedRegistry> sharedRegistry;

    bool FirstPaintPending = true;
    bool CheckMode = false;
    bool RestoreAtStart = false;

private:
    void BuildControls();
    void BuildGrid();
    void BuildAdapterInfo();
    void BuildHiddenGroups();
    void BuildMenu();
    void ShowPage(ui::Control& page);
    bool VersionStep();
    void IdentifyAdapter();
    void ExportStartupSnapshot();
};

}  // namespace kv
