#include "app/program_qt.h"

#include <QWidget>

#include <cstdlib>
#include <memory>

#include "app/faceapp.h"
#include "app/state_file.h"
#include "framework/wnd.h"
#include "qtbackend/qt_backend.h"

namespace {

std::unique_ptr<ProgramStateFile>& stateFile() {
    static std::unique_ptr<ProgramStateFile> file;
    return file;
}

std::vector<OpenDialogInfo> openDialogs(const brv::QtBackend& backend) {
    std::vector<OpenDialogInfo> out;
    for (const brv::QtDialogInfo& d : backend.OpenDialogs()) {
        OpenDialogInfo info{d.kind, d.title, d.text, d.rect, {}, d.nameEdit, d.nameEditFocused};
        for (const auto& b : d.buttons) info.buttons.push_back({b.text, b.rect, b.isDefault});
        out.push_back(std::move(info));
    }
    return out;
}

}  // namespace

void WatchProgramState(brv::QtBackend& backend, const std::string& path) {
    if (path.empty()) {
        backend.SetIdleHook(nullptr);
        stateFile().reset();
        return;
    }
    // Qt knows where the window system put each window.
    ScreenShift shift = [&backend](HWND top) {
        POINT framework{0, 0};
        ::ClientToScreen(top, &framework);
        QWidget* view = backend.SurfaceWidget(top);
        if (!view || !view->isVisible()) return POINT{0, 0};
        QPoint shown = view->mapToGlobal(QPoint(0, 0));
        return POINT{shown.x() - framework.x, shown.y() - framework.y};
    };
    stateFile() = std::make_unique<ProgramStateFile>(path, std::move(shift));
    backend.SetIdleHook([&backend] {
        if (stateFile()) stateFile()->Update(openDialogs(backend));
    });
}

int RunBrivantaUnderQt(int argc, char** argv) {
    if (int code = brv::CheckDisplay()) return code;
    brv::QtBackend backend(argc, argv);
    const char* state = std::getenv("BRIVANTA_STATE_FILE");
    if (state && *state) WatchProgramState(backend, state);
    int code = RunBrivanta(argc, argv, backend);
    // An end through the backend may have been caught on the way (a menu's
    // handler): its code is the program's.
    if (backend.Exited()) code = backend.ExitCode();
    WatchProgramState(backend, "");
    return code;
}
