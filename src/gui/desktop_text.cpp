#include "gui/desktop_text.h"

namespace kr::gui {
namespace {

void AppendEscaped(QString& out, char c) {
  switch (c) {
    case '<': out += QStringLiteral("&lt;"); break;
    case '>': out += QStringLiteral("&gt;"); break;
    case '&': out += QStringLiteral("&amp;"); break;
    case '"': out += QStringLiteral("&quot;"); break;
    case '\n': out += QStringLiteral("<br>"); break;
    default: out += QChar(static_cast<unsigned char>(c)); break;
  }
}

}  // namespace

QString RichText(std::string_view t) {
  QString body;
  bool bold = false, italic = false, centred = false;
  for (size_t i = 0; i < t.size(); ++i) {
    char c = t[i];
    if (c == '\x1b' && i + 1 < t.size()) {
      char code = t[++i];
      if (code == 'b' && !bold) {
        body += QStringLiteral("<b>");
        bold = true;
      } else if (code == 'i' && !italic) {
        body += QStringLiteral("<i>");
        italic = true;
      } else if (code == 'n') {
        if (italic) body += QStringLiteral("</i>");
        if (bold) body += QStringLiteral("</b>");
        bold = italic = false;
      } else if (code == 'c') {
        centred = true;
      }
      continue;
    }
    if (c == '\x1b') continue;
    AppendEscaped(body, c);
  }
  if (italic) body += QStringLiteral("</i>");
  if (bold) body += QStringLiteral("</b>");
  // Blanks are kept (the texts align with them); long lines still wrap.
  return QStringLiteral("<div style=\"white-space:pre-wrap\"") +
         (centred ? QStringLiteral(" align=\"center\">") : QStringLiteral(">")) + body + QStringLiteral("</div>");
}

QString PlainText(std::string_view t) {
  QString out;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] == '\x1b') {
      ++i;
      continue;
    }
    out += QChar(static_cast<unsigned char>(t[i]));
  }
  return out;
}

QString MnemonicText(std::string_view t) {
  QString out;
  for (size_t i = 0; i < t.size(); ++i) {
    char c = t[i];
    if (c == '\x1b') {
      ++i;
    } else if (c == '_') {
      out += QLatin1Char('&');
    } else if (c == '&') {
      out += QStringLiteral("&&");
    } else {
      out += QChar(static_cast<unsigned char>(c));
    }
  }
  return out;
}

bool StartsBold(std::string_view t) { return t.size() >= 2 && t[0] == '\x1b' && t[1] == 'b'; }

QString WindowTitle(std::string_view name) { return QStringLiteral("KelvaRANK \u00B7 ") + FromLatin1(name); }

bool ToLatin1(const QString& text, std::string& out) {
  out.clear();
  out.reserve(size_t(text.size()));
  for (QChar ch : text) {
    if (ch.unicode() > 0xFF) return false;
    out += char(ch.unicode());
  }
  return true;
}

QString FromLatin1(std::string_view t) { return QString::fromLatin1(t.data(), qsizetype(t.size())); }

}  // namespace kr::gui
