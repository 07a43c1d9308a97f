#pragma once
// How the office's tools write to the terminal.

#include <QString>

#include <cstdio>

namespace tavomi {

// The tools' names, which begin their messages.
inline constexpr const char* kCardTool = "tavomi-card";
inline constexpr const char* kReportTool = "tavomi-report";
inline constexpr const char* kOfficeTool = "tavomi-office";

// Writes the text as UTF-8 and flushes, so that prompts show before a wait.
void print(std::FILE* stream, const QString& text);

// Text from the data files as a terminal (or a table) may show it: control characters
// as their pictures (␉, ␚, ␛), so that no escape sequence or carriage return reaches it.
QString withControlPictures(QString text);

// One line "<tool>: <text>": the tools' refusals, warnings and errors.
void printToolLine(std::FILE* stream, const char* tool, const QString& text);

}  // namespace tavomi
