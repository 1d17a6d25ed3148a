// The dialog templates of the program: 130 (the conditions dialog) and 131 (the progress window).
//
// A template lists the window's caption, font and client size in dialog units and every control in
// template order, which is also the tab order: id, class, text, position and size in dialog units, style
// flags and (for edits) a text limit in bytes. Texts are code page 932. The window toolkit (ui/) builds
// its windows from these; nothing here depends on it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace res {

inline constexpr int kIdcStatic = -1;  // a control that the program never addresses

inline constexpr int kIddConditions = 130;
inline constexpr int kIddProgress = 131;

enum class CtlClass {
  kStatic,      // text label
  kEdit,        // one-line edit
  kPushButton,  // push button
  kCheckBox,    // automatic check box (toggles itself when clicked)
  kGroupBox,    // frame with a title
  kProgress,    // progress bar
};

// Control style flags (one set for every class; a flag that does not apply to a class is ignored).
enum CtlStyle : std::uint32_t {
  kCtlTabStop = 1u << 0,      // reached by Tab; the first one gets the focus when the dialog opens
  kCtlDisabled = 1u << 1,     // created disabled
  kCtlBorder = 1u << 2,       // thin frame (edit, progress bar)
  kCtlRight = 1u << 3,        // text right-aligned (static, edit)
  kCtlCenter = 1u << 4,       // text centred (static)
  kCtlNumber = 1u << 5,       // edit: only the digits 0-9 can be typed
  kCtlAutoHScroll = 1u << 6,  // edit: the text scrolls horizontally while typing
  kCtlSmooth = 1u << 7,       // progress bar: one continuous fill (else segmented blocks)
  kCtlDefault = 1u << 8,      // push button: the default button (Enter clicks it)
  kCtlHidden = 1u << 9,       // created invisible
};

// Dialog style flags.
enum DlgStyle : std::uint32_t {
  kDlgSysMenu = 1u << 0,      // system menu and close box in the caption bar
  kDlgSystemModal = 1u << 1,  // topmost window
  kDlgVisible = 1u << 2,      // shown as soon as it is created
};

struct StDlgControl {
  int id;  // kIdcStatic for a control the program never addresses
  CtlClass cls;
  std::string text;     // code page 932; '&' marks the mnemonic, "&&" is a literal ampersand
  int x, y, cx, cy;     // dialog units
  std::uint32_t style;  // CtlStyle flags
  int limit;            // edit: bytes that can be typed (0: the default 32767)
};

struct StDlgTemplate {
  int id;
  std::string caption;  // code page 932
  std::string font;     // code page 932 face name
  int point_size;
  int cx, cy;           // client size in dialog units
  std::uint32_t style;  // DlgStyle flags
  std::vector<StDlgControl> controls;
};

// The template with the given id, or nullptr when there is none.
const StDlgTemplate* DialogTemplate(int id);

}  // namespace res
