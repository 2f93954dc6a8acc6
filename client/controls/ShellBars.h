// What full-screen boxes do to the shell around them: hide and disable the
// task bar (class "HHTaskBar") and the input-panel button (class
// "MS_SIPBUTTON") while they show, and the soft input panel query that lists
// use to stay above the panel. UI thread only.
#pragma once

namespace tavrin::controls {

// Hides the bars; nested calls are counted, and only the last
// show_shell_bars() shows them again, so a box opened over another box does
// not bring the task bar back while the first is still up.
void hide_shell_bars();
void show_shell_bars();

// 1 when the soft input panel is shown, 0 when hidden; -1 (which counts as
// shown) when there is no panel to ask.
int sip_shown();
// The panel's first display row; the display height when it is hidden.
int sip_top_edge();
// Shows or hides the panel; false when there is none.
bool sip_show();
bool sip_hide();

}  // namespace tavrin::controls
