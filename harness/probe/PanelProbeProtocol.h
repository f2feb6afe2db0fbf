// What the panel probe and the test harness agree on: the commands the probe takes and the
// lines it answers with. The harness reads this header itself (harness/cdefs.py), each
// line by its format here, so a line or a field is added here and nowhere else.
#pragma once

// ---- Commands: the probe's first argument ---------------------------------------------------

constexpr const char* kStateCommand = "state"; // the default
constexpr const char* kBoxCommand = "box";
constexpr const char* kDropDownCommand = "dropdown";
constexpr const char* kTooltipCommand = "tooltip";
constexpr const char* kPanelsCommand = "panels";
constexpr const char* kLightsCommand = "lights"; // then how many milliseconds to watch
constexpr const char* kResourcesCommand = "resources";

// ---- Lines ----------------------------------------------------------------------------------

// First, whatever the command: whether there is a panel (1) or not (0).
constexpr const char* kPanelLine = "panel %d\n";
// Last: an answer without it was cut short.
constexpr const char* kEndLine = "end\n";

// state: the client area on the screen (left, top, width, height); then each control in the
// panel's order, which is its tab order: id, tab stop (1 or 0), its rectangle in the client
// area (left, top, right, bottom) and its text; each list's selection, entries (list id, index,
// text), edit field text, where the edit field draws the text's first character, and dropped
// width beside the list's own; each check box's check; each light's id and the colour painted
// at its centre (red, green, blue); the control that has the focus.
constexpr const char* kClientLine = "client %ld %ld %ld %ld\n";
constexpr const char* kControlLine = "control %d %d %ld %ld %ld %ld %s\n";
constexpr const char* kSelectionLine = "selection %d %ld\n";
constexpr const char* kItemLine = "item %d %ld %s\n";
constexpr const char* kEditLine = "edit %d %s\n";
constexpr const char* kEditStartLine = "editstart %d %d\n";
constexpr const char* kDroppedWidthLine = "droppedwidth %d %ld %ld\n";
constexpr const char* kCheckLine = "check %d %ld\n";
constexpr const char* kLightLine = "light %d %d %d %d\n";
constexpr const char* kFocusLine = "focus %d\n";

// box: an open message box's caption, then each of its texts.
constexpr const char* kBoxLine = "box %s\n";
constexpr const char* kNoBoxLine = "box none\n";
constexpr const char* kTextLine = "text %s\n";

// dropdown: whether a control of the panel holds the mouse capture (1 or 0), then the open
// drop-down list's rectangle on the screen and its item height.
constexpr const char* kCaptureLine = "capture %d\n";
constexpr const char* kDropDownLine = "dropdown %ld %ld %ld %ld %ld\n";
constexpr const char* kNoDropDownLine = "dropdown none\n";

// tooltip: the text of the tooltip on show.
constexpr const char* kTooltipLine = "tooltip %s\n";
constexpr const char* kNoTooltipLine = "tooltip none\n";

// panels: each panel on the screen: its process id, minimised and in front (1 or 0).
constexpr const char* kWindowLine = "window %lu %d %d\n";

// lights: "watching" once it looks; at the end, by the lights' texts and by their painted
// colours, whether the in and the out light were ever lit, and whether they are lit now.
constexpr const char* kWatchingLine = "watching\n";
constexpr const char* kLightsLine = "lights %d %d %d %d\n";
constexpr const char* kPaintedLine = "painted %d %d %d %d\n";

// resources: the panel's process's handles, working set and private bytes.
constexpr const char* kResourcesLine = "resources %lu %lu %lu\n";
