// The report files the tools write, in the vendor's text layout: a heading,
// a table of contents, then sections. A table section is
//
//   +----------------------------------------------+
//   ; Fitter Resource Usage Summary                ;
//   +-------------------------+-----------+--------+
//   ; Resource                ; Usage     ; %      ;
//   +-------------------------+-----------+--------+
//   ; Total registers         ; 53        ;        ;
//   +-------------------------+-----------+--------+
//
// followed by an empty line; a table without a heading row has no middle
// rule. Readers find sections by their "; <title>" line and stop at the first
// empty line, so no section holds an empty line inside.
#pragma once

#include <string>
#include <vector>

namespace hostsim::quartus {

class TReport {
public:
    using TRow = std::vector<std::string>;

    // title: "Analysis & Synthesis report for blinky"; product and version of the tool.
    TReport(std::string title, std::string product, std::string version);

    void Table(const std::string& title, const TRow& header, const std::vector<TRow>& rows,
               const std::vector<std::string>& notes = {});
    // A section of plain lines under a title (messages).
    void Text(const std::string& title, const std::vector<std::string>& lines);

    std::string Render() const;

private:
    struct TSection {
        std::string Title;
        std::string Body;
    };
    std::string FTitle, FProduct, FVersion;
    std::vector<TSection> FSections;
};

// "Thu Dec 11 11:11:11 2025", the stamp of reports and messages.
std::string NowText();

} // namespace hostsim::quartus
