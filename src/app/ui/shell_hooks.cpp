#include "app/ui/shell_hooks.h"

#include "app/ui/clipboard_paste.h"
#include "app/ui/dark_theme.h"
#include "app/ui/file_list_commands.h"
#include "app/ui/help_command.h"
#include "app/ui/main_window.h"

namespace reelsmith {

namespace {

constexpr char kColouredProperty[] = "reelsmithButtonsColoured";

}  // namespace

void InstallShellHooks(TMainWindowHooks& hooks)
{
    hooks.OpenList = [](Tfrm_Main& main) { Open1Click(main); };
    hooks.SaveList = [](Tfrm_Main& main) { Save1Click(main); };
    hooks.Paste = [](Tfrm_Main& main) { btn_PasteClick(main); };
    hooks.Help = [](Tfrm_Main& main) { Help2Click(main); };
    hooks.ApplyTheme = [](Tfrm_Main& main, bool dark) {
        if (Darktheme1Click(main, dark))
            main.setProperty(kColouredProperty, true);
    };
}

void AttachShell(Tfrm_Main& main)
{
    main.AcceptFileDrops();
    if (!main.property(kColouredProperty).toBool())
        main.SetColors(DesignButtonColours());
}

}  // namespace reelsmith
