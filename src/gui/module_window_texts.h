// Small text helpers of the module windows: window titles, button labels
// with their underscore shortcut, and texts with the toolkit's escape codes
// (Latin-1) as rich text.
#pragma once

#include <QString>
#include <string_view>

namespace kr::modwin {

// "KelvaRANK · " + name.
inline QString Title(const char* name) { return QString::fromUtf8("KelvaRANK \u00B7 ") + QString::fromLatin1(name); }

// A label whose underscore marks the shortcut letter, as a Qt label ("&").
inline QString Mnemonic(std::string_view latin1) {
  QString out;
  for (char c : latin1) {
    if (c == '&') out += "&&";
    else if (c == '_') out += '&';
    else out += QChar(uchar(c));
  }
  return out;
}

// ESC b bold, ESC n normal, ESC i italic, ESC c centred; everything else
// as text (HTML special characters escaped, line feeds as breaks).
inline QString EscapeCodesToHtml(std::string_view latin1) {
  QString out;
  bool bold = false, italic = false, centred = false;
  auto close = [&] {
    if (italic) out += "</i>";
    if (bold) out += "</b>";
    bold = italic = false;
  };
  for (size_t i = 0; i < latin1.size(); ++i) {
    const char c = latin1[i];
    if (c == '\x1b' && i + 1 < latin1.size()) {
      const char code = latin1[++i];
      if (code == 'b' && !bold) {
        out += "<b>";
        bold = true;
      } else if (code == 'i' && !italic) {
        out += "<i>";
        italic = true;
      } else if (code == 'n') {
        close();
      } else if (code == 'c') {
        centred = true;
      }
      continue;
    }
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '\n': out += "<br>"; break;
      default: out += QChar(uchar(c));
    }
  }
  close();
  return centred ? "<div align=\"center\">" + out + "</div>" : out;
}

// The same text without the escape codes.
inline QString EscapeCodesToPlain(std::string_view latin1) {
  QString out;
  for (size_t i = 0; i < latin1.size(); ++i) {
    if (latin1[i] == '\x1b') {
      ++i;
      continue;
    }
    out += QChar(uchar(latin1[i]));
  }
  return out;
}

}  // namespace kr::modwin
