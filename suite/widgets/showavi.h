#pragma once

class QWidget;

namespace suite {

// The busy animation shown during long fetches. Both calls return at once:
// starting it while it runs changes nothing, one stop ends it however often
// it was started. kind picks the caption (6: fetching data).
void ActiveShowAvi(QWidget* mainForm, int kind);
void DeactiveShowAvi();

// For tests and diagnostics.
bool ShowAviActive();
int ShowAviStarts(); // ActiveShowAvi calls since the last reset
void ResetShowAviCount();

} // namespace suite
