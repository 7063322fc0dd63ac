// The system's texts on the desktop: Latin-1 with the toolkit's escape codes
// (ESC b bold, ESC n normal, ESC c centred, ESC i italic) become Qt rich
// text; labels with an underscore before their shortcut letter become Qt
// mnemonics.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace kr::gui {

// Latin-1 text with escape codes as HTML for a QLabel (Qt::RichText).
// Line breaks become <br>; every other character is escaped.
QString RichText(std::string_view latin1);
// The same text without its escape codes, as plain text.
QString PlainText(std::string_view latin1);
// A label such as "_Processor" or ESC b "_Bang hardware!": the underscore
// marks the shortcut ("&Processor"), '&' is doubled, escape codes dropped.
QString MnemonicText(std::string_view latin1);
// True when the label starts bold (ESC b before any character).
bool StartsBold(std::string_view latin1);
// Title of a window: "KelvaRANK · " + name.
QString WindowTitle(std::string_view name);
// A Qt string as Latin-1; false when it has a character outside Latin-1.
bool ToLatin1(const QString& text, std::string& out);
QString FromLatin1(std::string_view latin1);
// A host path (its raw bytes) for display: UTF-8 decoded; a byte that is not
// part of a well-formed UTF-8 character, and a control character, shown as
// "\xHH" (a backslash as "\\"), so two different paths never look alike.
QString PathText(std::string_view bytes);

}  // namespace kr::gui
