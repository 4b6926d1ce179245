#include "report.h"

#include <charconv>
#include <cstdio>

namespace inspect {
namespace {

std::string JsonString(const std::string& utf8) {
    std::string out = "\"";
    for (const unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// Text mode: bare when it is plain, else in quotes with \" and \xNN.
std::string TextValue(const std::string& utf8) {
    bool plain = !utf8.empty();
    for (const unsigned char c : utf8) plain = plain && c > 0x20 && c != 0x7F && c != '"';
    if (plain) return utf8;
    std::string out = "\"";
    for (const unsigned char c : utf8) {
        if (c == '"') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

}  // namespace

std::string FormatDouble(double value) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

Line& Line::Int(const std::string& key, int64_t value) {
    fields_.push_back({key, std::to_string(value), false});
    return *this;
}

Line& Line::Real(const std::string& key, double value) {
    std::string text = FormatDouble(value);
    // JSON has no NaN or infinity: those go as text.
    const bool finite = text.find_first_of("ni") == std::string::npos;
    fields_.push_back({key, text, !finite});
    return *this;
}

Line& Line::Text(const std::string& key, const std::string& utf8) {
    fields_.push_back({key, utf8, true});
    return *this;
}

Line& Line::Bool(const std::string& key, bool value) {
    fields_.push_back({key, value ? "true" : "false", false});
    return *this;
}

void Report::Emit(const Line& line) {
    if (json_) {
        out_ += "{\"type\":" + JsonString(line.Type());
        for (const auto& f : line.Fields()) out_ += "," + JsonString(f.key) + ":" + (f.quoted ? JsonString(f.text) : f.text);
        out_ += "}\n";
        return;
    }
    out_ += line.Type();
    for (const auto& f : line.Fields()) out_ += " " + f.key + "=" + (f.quoted ? TextValue(f.text) : f.text);
    out_ += "\n";
}

void Report::Warn(const std::string& text) {
    ++warnings_;
    if (json_) {
        Emit(Line("warning").Text("text", text));
    } else {
        out_ += "warning: " + text + "\n";
    }
}

}  // namespace inspect
