// The little language of pintle-call: one command per line (or the command
// line itself), words separated by blanks, "#" starts a comment.
#pragma once
#include <string>
#include <vector>

namespace pintle_call {

std::vector<std::wstring> SplitWords(const std::wstring& line);
std::vector<double> ParseList(const std::wstring& text, bool& ok);
bool ParseNumber(const std::wstring& text, double& out);

}  // namespace pintle_call
