#include "hostsim/quartus/Report.h"

#include <algorithm>
#include <ctime>

namespace hostsim::quartus {

namespace {

std::string Pad(const std::string& text, size_t width) { return text + std::string(width > text.size() ? width - text.size() : 0, ' '); }

std::string Rule(const std::vector<size_t>& widths)
{
    std::string line = "+";
    for (size_t width : widths) line += std::string(width + 2, '-') + "+";
    return line;
}

std::string Row(const std::vector<std::string>& cells, const std::vector<size_t>& widths)
{
    std::string line = ";";
    for (size_t i = 0; i < widths.size(); ++i) {
        line += ' ';
        line += Pad(i < cells.size() ? cells[i] : std::string(), widths[i]);
        line += " ;";
    }
    return line;
}

} // namespace

std::string NowText()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    std::strftime(text, sizeof text, "%a %b %d %H:%M:%S %Y", &local);
    return text;
}

TReport::TReport(std::string title, std::string product, std::string version)
    : FTitle(std::move(title)), FProduct(std::move(product)), FVersion(std::move(version))
{
    Text("Legal Notice", {"Written by the Quartus stand-in of the arria5 bench for tests and demonstrations.",
                          "Its figures are derived from the design's sources and say nothing about real hardware."});
}

void TReport::Table(const std::string& title, const TRow& header, const std::vector<TRow>& rows,
                    const std::vector<std::string>& notes)
{
    size_t columns = header.size();
    for (const TRow& row : rows) columns = std::max(columns, row.size());
    std::vector<size_t> widths(columns, 0);
    for (size_t i = 0; i < header.size(); ++i) widths[i] = header[i].size();
    for (const TRow& row : rows)
        for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
    // The title row spans the whole table; widen the last column when the title is longer.
    size_t inner = 0;
    for (size_t width : widths) inner += width + 3;
    if (inner < title.size() + 3 && !widths.empty()) widths.back() += title.size() + 3 - inner, inner = title.size() + 3;

    const std::string rule = Rule(widths);
    std::string body = "+";
    body.append(rule.size() - 2, '-');
    body += "+\n; ";
    body += Pad(title, rule.size() - 4);
    body += " ;\n";
    auto line = [&body](const std::string& text) {
        body += text;
        body += '\n';
    };
    line(rule);
    if (!header.empty()) {
        line(Row(header, widths));
        line(rule);
    }
    for (const TRow& row : rows) line(Row(row, widths));
    line(rule);
    for (const std::string& note : notes) line(note);
    FSections.push_back({title, body});
}

void TReport::Text(const std::string& title, const std::vector<std::string>& lines)
{
    std::string rule = "+";
    rule.append(title.size() + 2, '-');
    rule += '+';
    std::string body = rule;
    body += "\n; ";
    body += title;
    body += " ;\n";
    body += rule;
    body += '\n';
    for (const std::string& line : lines) {
        body += line.empty() ? std::string(" ") : line;
        body += '\n';
    }
    FSections.push_back({title, body});
}

std::string TReport::Render() const
{
    std::string text = FTitle + "\n" + NowText() + "\n" + FProduct + " Version " + FVersion + "\n\n\n";
    const std::string contents = "; Table of Contents ;";
    text += std::string(contents.size(), '-') + "\n" + contents + "\n" + std::string(contents.size(), '-') + "\n";
    for (size_t i = 0; i < FSections.size(); ++i) text += "  " + std::to_string(i + 1) + ". " + FSections[i].Title + "\n";
    for (const TSection& section : FSections) text += "\n\n" + section.Body;
    return text;
}

} // namespace hostsim::quartus
