#pragma once

#include <QByteArray>
#include <string_view>

// Rows for Sql::Connection::copyIn, in the text form of a server's COPY:
// values apart by a tab, each row ending in a newline, \N for no value.
namespace Sql {

// Text as one value: the backslash and the bytes that would end a value or
// a row escaped; U+0000, which the server's text cannot hold, as U+FFFD.
inline void appendCopyText(QByteArray& out, std::string_view utf8) {
    for (const char c : utf8) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\0':
                out += "\xEF\xBF\xBD";
                break;
            default:
                out += c;
        }
    }
}

}  // namespace Sql
