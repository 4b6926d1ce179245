// What pintle-inspect prints: lines of named fields, rendered either as text
// ("record index=0 code=600000 ...") or as one JSON object per line
// ({"type":"record","index":0,"code":"600000",...}). Plain C++.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace inspect {

class Line {
public:
    explicit Line(std::string type) : type_(std::move(type)) {}
    Line& Int(const std::string& key, int64_t value);
    Line& Real(const std::string& key, double value);
    Line& Text(const std::string& key, const std::string& utf8);
    Line& Bool(const std::string& key, bool value);

    struct Field {
        std::string key;
        std::string text;  // rendered value (numbers) or the UTF-8 text
        bool quoted;       // a text value
    };
    const std::string& Type() const { return type_; }
    const std::vector<Field>& Fields() const { return fields_; }

private:
    std::string type_;
    std::vector<Field> fields_;
};

class Report {
public:
    explicit Report(bool json) : json_(json) {}
    void Emit(const Line& line);
    // Something a reader of the file would distrust.
    void Warn(const std::string& text);
    int Warnings() const { return warnings_; }
    // Everything emitted so far, UTF-8, one line per '\n'.
    const std::string& Output() const { return out_; }

private:
    bool json_;
    int warnings_ = 0;
    std::string out_;
};

// Shortest decimal text that reads back as the same double.
std::string FormatDouble(double value);

}  // namespace inspect
