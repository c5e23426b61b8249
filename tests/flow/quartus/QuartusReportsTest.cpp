// Reading Quartus reports into summaries: fitter resource tables of old and
// current versions, TimeQuest and classic timing reports, alignment, and the
// download's speed text.
#include "flow/quartus/QuartusReports.h"
#include "flow/quartus/QuartusSteps.h"

#include <gtest/gtest.h>

using namespace tavrel::quartus;

namespace {

std::vector<std::string> Names(const std::vector<TSummaryItem>& items)
{
    std::vector<std::string> names;
    for (const auto& item : items) names.push_back(TrimText(item.Name) + "=" + item.Value);
    return names;
}

TEST(QuartusReportsTest, FitterResourcesOfBothTableLayouts)
{
    const std::vector<std::string> twoColumns = {
        "; Fitter Summary ;",
        "; Fitter Resource Usage Summary ;",
        "; Total logic elements ; 1,234 / 33,216 ( 4 % ) ;",
        "; Total registers      ; 567              ;",
        "; User I/O pins        ; 12 / 475 ( 3 % ) ;",
        "   ",
        "; I/O pins             ; 14 / 475 ( 3 % ) ;",
        "",
        "; Global clocks        ; 2 / 16 ( 13 % ) ;",
    };
    EXPECT_EQ(Names(ReadFitterResources(twoColumns)),
              (std::vector<std::string>{"Total logic elements=  1,234 /  33,216 ( 4%)", "Total registers= 567",
                                        "I/O pins=     14 /     475 ( 3%)"}))
        << "USER rows are left out, a line of blanks does not end the section, an empty line does";

    // Current versions: Resource ; Usage ; % — folded into the two-column form.
    const std::vector<std::string> threeColumns = {
        "; Fitter Resource Usage Summary                                   ;",
        "; Resource                ; Usage                 ; %   ;",
        "; Total logic elements    ; 3,001 / 273,760       ; 1 % ;",
        "; Total registers         ; 3,123                 ;     ;",
        "",
    };
    EXPECT_EQ(Names(ReadFitterResources(threeColumns)),
              (std::vector<std::string>{"Total logic elements=  3,001 / 273,760 ( 1%)", "Total registers= 3,123"}));
    EXPECT_TRUE(ReadFitterResources({"; Analysis & Synthesis Summary ;", "; Total registers ; 5 ;"}).empty())
        << "no resource section";
}

TEST(QuartusReportsTest, TimeQuestClocksKeepTheirHierarchicalNames)
{
    const std::vector<std::string> report = {
        "+-----------------------------------------------+",
        "; Slow 1100mV 85C Model Fmax Summary            ;",
        "; Fmax       ; Restricted Fmax ; Clock Name ; Note ;",
        "; 386.29 MHz ; 386.29 MHz      ; clk        ;      ;",
        "; 403.17 MHz ; 403.17 MHz      ; pll_inst|altpll_component|auto_generated|pll1|clk[0] ; ;",
        "; 386.29 MHz ; 386.29 MHz      ; CLK        ;      ;",
        "; Slow 1100mV 85C Model Setup Summary ;",
        "; 1.0 MHz ; 1.0 MHz ; late ; ;",
    };
    const TTimingItems items = ReadTimeQuestItems(report, 13.1);
    EXPECT_TRUE(items.Found);
    EXPECT_EQ(items.Items.size(), 2u) << "the same clock in another letter case is reported once";
    EXPECT_EQ(Names(TimingSummary(items, false)),
              (std::vector<std::string>{"clk=386.29 MHz", "pll_inst|altpll_component|auto_generated|pll1|clk[0]=403.17 MHz"}));
    // Old layout (7.2 and earlier): frequency first.
    const TTimingItems old = ReadTimeQuestItems({"; Fmax Summary ;", "; 125.0 ; clk ;"}, 7.2);
    EXPECT_EQ(Names(TimingSummary(old, false)), (std::vector<std::string>{"clk=125.0 MHz"}));
}

TEST(QuartusReportsTest, ClassicTimingRowsAndAlignment)
{
    const std::vector<std::string> report = {
        "; Timing Analyzer Summary ;",
        "; Type ; Slack ; Required Time ; Actual Time ; From ; To ;",
        "; Worst-case tsu ; N/A ; None ; 2.368 ns ; a ; b ;",
        "; Worst-case tco ; N/A ; None ; 12.345 ns ; a ; b ;",
        "; Clock Setup: 'clk' ; 1.2 ns ; 100.00 MHz ( period = 10.0 ns ) ; 96.5 MHz ( period = 10.3 ns ) ; a ; b ;",
        "; Clock Setup: clk2' ; 1.2 ns ; 50.00 MHz ; 191.20 MHz ; a ; b ;",
        "; Timing Analyzer Settings ;",
        "; Clock Setup: 'late' ; 1 ; 1 MHz ; 1 MHz ;",
    };
    EXPECT_EQ(Names(TimingSummary(ReadClassicItems(report), true)),
              (std::vector<std::string>{"Minimum input required time before clock= 2.368 ns",
                                        "Maximum output delay after clock=12.345 ns",
                                        "clk (Constraint = 100.00 MHz)=  96.5 MHz"}));
    const TTimingItems worstOnly = ReadClassicItems({"; Timing Analyzer Summary ;", "; Worst-case th ; a ; b ; 0.5 ns ;"});
    EXPECT_EQ(Names(TimingSummary(worstOnly, true)),
              (std::vector<std::string>{"No timing constraints.=", "Minimum clock hold time=   0.5 ns"}));
    struct TCase {
        const char* Value;
        const char* Unit;
        const char* Aligned;
    } cases[] = {{"96.5 MHz", "MHZ", "  96.5 MHz"}, {"191.20 MHz", "MHZ", "191.20 MHz"}, {"12.345 ns", "NS", "12.345 ns"},
                 {"2.368 ns", "NS", " 2.368 ns"},   {"no unit", "NS", "no unit"}};
    for (const TCase& c : cases) EXPECT_EQ(AlignOnUnit(c.Value, c.Unit), c.Aligned) << c.Value;
}

TEST(QuartusReportsTest, DownloadSpeedNeverDividesByZero)
{
    EXPECT_EQ(DownloadSpeedText(137784928, 9500),
              "Downloading via JTAG Completed in 9.50 Seconds at 14503.68 K Bits/Sec");
    EXPECT_EQ(DownloadSpeedText(32, 0), "Downloading via JTAG Completed in 0.00 Seconds (rate not measurable)");
}

} // namespace
