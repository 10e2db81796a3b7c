// Text between the window and the workbench core.
//
// The core holds text as bytes, as the legacy files and the reports do; the window holds
// QString. Every crossing goes through Latin-1, so each byte is one character and back.
#pragma once

#include <QString>
#include <string>

namespace talvor::gui {

// Each byte becomes the character of the same code (0x00-0xFF).
QString FromBytes(const std::string& bytes);
// Each character becomes its Latin-1 byte; a character beyond 0xFF becomes '?'. The edit
// boxes of the window never hold such a character (see SettingsBox).
std::string ToBytes(const QString& text);

}  // namespace talvor::gui
