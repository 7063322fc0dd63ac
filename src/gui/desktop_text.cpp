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

namespace {

// Length of the well-formed UTF-8 character at s[i] (no overlong forms, no
// surrogates, at most U+10FFFF); 0 when the bytes there are not one.
size_t Utf8CharLength(std::string_view s, size_t i) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  if (c < 0x80) return 1;
  size_t n = 0;
  unsigned char lo = 0x80, hi = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  if (b(i + 1) < lo || b(i + 1) > hi) return 0;
  for (size_t k = 2; k < n; ++k)
    if (b(i + k) < 0x80 || b(i + k) > 0xBF) return 0;
  return n;
}

}  // namespace

QString PathText(std::string_view bytes) {
  QString out;
  for (size_t i = 0; i < bytes.size();) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    const size_t n = Utf8CharLength(bytes, i);
    if (n == 0 || c < 0x20 || c == 0x7F) {
      static const char kHex[] = "0123456789ABCDEF";
      out += QStringLiteral("\\x");
      out += QLatin1Char(kHex[c >> 4]);
      out += QLatin1Char(kHex[c & 15]);
      ++i;
    } else if (c == '\\') {
      out += QStringLiteral("\\\\");
      ++i;
    } else {
      out += QString::fromUtf8(bytes.data() + i, qsizetype(n));
      i += n;
    }
  }
  return out;
}

}  // namespace kr::gui
