// Lays out one pin-out: places every ball of the package grid in a role
// (transceiver, reference clock, configuration, user IO, supply), lists the roles in
// table order, places the reference rows and checks the result. GENERATOR.md gives
// the rules in prose; the constants below are the knobs it names.
#include "Model.h"

#include <algorithm>
#include <deque>
#include <map>
#include <set>

namespace devgen {

std::string RowName(int row) {
    static const char kLetters[] = "ABCDEFGHJKLMNPRTUVWY"; // A..Y without I, O, Q, S, X, Z
    constexpr int kCount = sizeof kLetters - 1;
    if (row < kCount)
        return std::string(1, kLetters[row]);
    return std::string("A") + kLetters[row - kCount];
}

std::string BallName(int row, int column) { return RowName(row) + std::to_string(column + 1); }

namespace {

constexpr int kZoneWidth = 8;         // columns of a transceiver zone
constexpr int kChannelsPerBank = 6;   // transceiver channels per transceiver bank
constexpr int kChannelsPerRefClk = 3; // one reference clock pair per three channels
constexpr int kIOPerBank = 48;        // target user IO balls per IO bank
constexpr int kDualPurposeCount = 5;  // dual-purpose balls listed a second time

// Direction the bank sweep starts from, in doubled grid offsets from the centre
// (x to the right, y downwards): just below the south-east diagonal.
constexpr long long kStartX = 4, kStartY = 3;

// IO banks in the order they are taken into use as a die needs more of them.
const char* const kBankPriority[] = {"3A", "4A", "7A", "8A", "3B", "4B", "7B", "8B", "3C", "4C", "7C", "8C",
                                     "3D", "4D", "7D", "8D", "5A", "6A", "5B", "6B", "5C", "6C", "5D", "6D"};

const char* const kTransceiverBanks[] = {"B0L", "B1L", "B2L", "B0R", "B1R", "B2R"};

struct ConfigPin {
    const char* Name;
    uint16_t Options;
    Function Func;
};

// Dedicated configuration and JTAG pins, nearest the south-west corner first.
const ConfigPin kConfigPins[] = {
    {"TCK", kSpecial | kInputOnly, Function::TCK},
    {"TMS", kSpecial | kInputOnly, Function::TMS},
    {"TDI", kSpecial | kInputOnly, Function::TDI},
    {"TDO", kSpecial, Function::TDO},
    {"nCONFIG", kSpecial | kInputOnly, Function::Config},
    {"nSTATUS", kSpecial, Function::Config},
    {"CONF_DONE", kSpecial, Function::Config},
    {"nCE", kSpecial | kInputOnly, Function::Config},
    {"nCEO", kSpecial, Function::Config},
    {"MSEL0", kSpecial | kInputOnly, Function::Config},
    {"MSEL1", kSpecial | kInputOnly, Function::Config},
    {"MSEL2", kSpecial | kInputOnly, Function::Config},
    {"MSEL3", kSpecial | kInputOnly, Function::Config},
    {"MSEL4", kSpecial | kInputOnly, Function::Config},
    {"DCLK", kSpecial, Function::Config},
    {"AS_DATA0", kSpecial, Function::Config},
    {"AS_DATA1", kSpecial, Function::Config},
    {"AS_DATA2", kSpecial, Function::Config},
    {"AS_DATA3", kSpecial, Function::Config},
    {"nCSO", kSpecial, Function::Config},
    {"nIO_PULLUP", kSpecial | kInputOnly, Function::Config},
    {"TEMPDIODEp", kSpecial, Function::Config},
    {"TEMPDIODEn", kSpecial, Function::Config},
    {"RREF_TL", kSpecial, Function::Config},
};

// Configuration functions of the dual-purpose user IO balls (second listings).
const char* const kDualPurposeNames[kDualPurposeCount] = {"CLKUSR", "INIT_DONE", "CRC_ERROR", "DEV_OE", "DEV_CLRn"};

struct Role {
    Pin P;
    int R = -1, C = -1;
    bool Supply = false; // named after placement, from its final position
};

using Unit = std::vector<Role>;

struct StandardSets {
    uint64_t Device = 0, Pair = 0, ClockPair = 0, Single = 0, Vref = 0, RefClk = 0;
};

StandardSets MakeStandardSets(const InputData& data) {
    StandardSets s;
    s.Device = ParseStandardSet(data, "all -sDSSTL12 -sSSTL12");
    s.Pair = s.Device & ~ParseStandardSet(data, "sPCML12 sPCML14 sPCML15 sPCML25 sLVPECL sHCSL");
    s.ClockPair = s.Pair | ParseStandardSet(data, "sLVPECL");
    for (std::size_t i = 0; i < data.Standards.size(); ++i)
        if ((s.Pair >> i & 1) && !data.Standards[i].Differential)
            s.Single |= uint64_t{1} << i;
    s.Vref = ParseStandardSet(data, "sLVCMOS12 sLVCMOS15 sLVCMOS18 sLVCMOS25 sLVCMOS30 sLVCMOS33 sLVTTL12 sLVTTL15 "
                                    "sLVTTL18 sLVTTL25 sLVTTL30 sLVTTL33 sPCIX_30 sPCI33_30");
    s.RefClk = ParseStandardSet(data, "sPCML12 sPCML14 sPCML15 sPCML25 sLVPECL sLVDS sHCSL");
    return s;
}

class Builder {
public:
    Builder(const InputData& data, int rowIndex, int minGroupCount)
        : row_(data.PinOutRows[rowIndex]), pkg_(data.Packages[row_.Package]), n_(pkg_.Grid),
          minGroups_(minGroupCount), sets_(MakeStandardSets(data)), use_(n_ * n_, Use::Free), zoneSide_(n_ * n_, -1) {
        out_.Row = rowIndex;
        out_.Package = row_.Package;
        out_.Balls = pkg_.Balls;
        out_.MinGroupCount = minGroupCount;
        if (n_ * n_ - 4 != pkg_.Balls)
            Fail("package " + pkg_.Id + ": grid and ball count disagree");
        for (int r : {0, n_ - 1})
            for (int c : {0, n_ - 1})
                use_[At(r, c)] = Use::Empty;
        RankAngles();
    }

    PinOut Build(const ReferenceSet* refs) {
        PlaceTransceivers();
        PlaceConfig();
        PlaceUserIO();
        PlaceSupplies();
        AddSecondListings();
        if (refs)
            PlaceReferences(*refs);
        NameSupplies();
        Flatten();
        Check(refs);
        return std::move(out_);
    }

private:
    enum class Use : uint8_t { Empty, Free, Taken };

    int At(int r, int c) const { return r * n_ + c; }
    int Depth(int r, int c) const { return std::min({r, c, n_ - 1 - r, n_ - 1 - c}); }
    std::string Where() const {
        return "pin-out " + pkg_.Id + " " + std::to_string(row_.IOCount) + "/" + std::to_string(row_.DiffCount) + "/" +
               std::to_string(row_.HSpeedDiffCount);
    }

    // Exact angular order of the grid positions around the centre, sweeping from
    // kStart east -> south -> west -> north; positions of one direction share a rank.
    void RankAngles() {
        struct V {
            long long X, Y;
            int Index;
        };
        auto half = [](const V& v) {
            if (v.X == 0 && v.Y == 0)
                return 2;
            const long long cross = kStartX * v.Y - kStartY * v.X;
            const long long dot = kStartX * v.X + kStartY * v.Y;
            return cross > 0 || (cross == 0 && dot > 0) ? 0 : 1;
        };
        auto before = [&](const V& a, const V& b) {
            const int ha = half(a), hb = half(b);
            if (ha != hb)
                return ha < hb;
            return a.X * b.Y - a.Y * b.X > 0;
        };
        std::vector<V> all;
        for (int r = 0; r < n_; ++r)
            for (int c = 0; c < n_; ++c)
                all.push_back({2LL * c - (n_ - 1), 2LL * r - (n_ - 1), At(r, c)});
        std::stable_sort(all.begin(), all.end(), before);
        angle_.assign(n_ * n_, 0);
        int rank = 0;
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (i > 0 && before(all[i - 1], all[i]))
                ++rank;
            angle_[all[i].Index] = rank;
        }
    }

    Role MakeRole(int r, int c, std::string bank, std::string diff, std::string clk, uint16_t options,
                  uint64_t standards, std::string name, Function func) {
        if (use_[At(r, c)] != Use::Free)
            Fail(Where() + ": ball " + BallName(r, c) + " placed twice");
        use_[At(r, c)] = Use::Taken;
        Role role;
        role.R = r;
        role.C = c;
        role.P.Bank = std::move(bank);
        role.P.DiffId = std::move(diff);
        role.P.ClkDiffId = std::move(clk);
        role.P.Options = options;
        role.P.Standards = standards;
        role.P.Name = std::move(name);
        role.P.Func = func;
        return role;
    }

    Role MakeSupply(int r, int c) {
        Role role = MakeRole(r, c, "", "", "", 0, 0, "", Function::Power);
        role.Supply = true;
        return role;
    }

    // Transceiver zones: the L banks fill a band of kZoneWidth columns on the right
    // edge from the top row down, the R banks the same band on the left edge. Rows
    // alternate their pair slots (offsets from the package edge: even rows 2-3 and
    // 6-7, odd rows 0-1 and 4-5) so pairs are staggered with supply balls between
    // them; one supply row closes every bank.
    void PlaceTransceivers() {
        if (row_.HSpeedDiffCount % 2 != 0)
            Fail(Where() + ": odd high-speed pair count");
        const int channels = row_.HSpeedDiffCount / 2;
        const int bankCount = (channels + kChannelsPerBank - 1) / kChannelsPerBank;
        if (bankCount > 6)
            Fail(Where() + ": more than six transceiver banks");
        // Banks come into use alternating sides (B0L, B0R, B1L, ...) so both zones
        // stay short; they are laid out and numbered side by side (B0L, B1L, ..., B0R, ...).
        static const int kUseOrder[6] = {0, 3, 1, 4, 2, 5};
        int bankChannelCount[6] = {};
        for (int i = 0; i < bankCount; ++i)
            bankChannelCount[kUseOrder[i]] = std::min(kChannelsPerBank, channels - i * kChannelsPerBank);
        int nextRow[2] = {0, 0};
        int sideChannel[2] = {0, 0};
        int sideRefClk[2] = {0, 0};
        int refClkId = 0;
        for (int b = 0; b < 6; ++b) {
            const int bankChannels = bankChannelCount[b];
            if (bankChannels == 0)
                continue;
            const std::string bank = kTransceiverBanks[b];
            const int side = b / 3;
            const std::string sideName = side == 0 ? "L" : "R";
            const int refClks = (bankChannels + kChannelsPerRefClk - 1) / kChannelsPerRefClk;

            // The pairs of the bank in slot order: channels (TX, RX), then reference clocks.
            struct Want {
                std::string Bank, Diff, Clk, Name;
                uint16_t P, N;
                uint64_t Standards;
                Function Func;
            };
            std::vector<Want> wants;
            for (int ch = 0; ch < bankChannels; ++ch, ++sideChannel[side]) {
                const std::string n = sideName + std::to_string(sideChannel[side]);
                wants.push_back({"", "T", "", "GXB_TX_" + n, kHDiffP | kTransmitDiff, kHDiffN | kTransmitDiff, 0,
                                 Function::Transceiver});
                wants.push_back({"", "R", "", "GXB_RX_" + n, kInputOnly | kHDiffP | kReceiveDiff,
                                 kInputOnly | kHDiffN | kReceiveDiff, 0, Function::Transceiver});
            }
            for (int k = 0; k < refClks; ++k, ++refClkId, ++sideRefClk[side])
                wants.push_back({bank, "", std::to_string(refClkId),
                                 "REFCLK" + std::to_string(sideRefClk[side]) + sideName, kIO | kCLK | kClkDiffP,
                                 kIO | kCLK | kClkDiffN, sets_.RefClk, Function::RefClk});

            const int firstRow = nextRow[side];
            int r = firstRow;
            std::size_t next = 0;
            std::vector<Unit> units;
            while (next < wants.size()) {
                if (r >= n_ / 2 + n_ / 4)
                    Fail(Where() + ": transceiver zone too tall");
                const int slots[2][2] = {{2, 6}, {0, 4}};
                for (int s = 0; s < 2 && next < wants.size(); ++s) {
                    const int off = slots[r % 2][s];
                    const int cp = ZoneColumn(side, off), cn = ZoneColumn(side, off + 1);
                    if (use_[At(r, cp)] != Use::Free || use_[At(r, cn)] != Use::Free)
                        continue;
                    const Want& w = wants[next++];
                    units.push_back({MakeRole(r, cp, w.Bank, w.Diff, w.Clk, w.P, w.Standards, w.Name + "p", w.Func),
                                     MakeRole(r, cn, w.Bank, w.Diff, w.Clk, w.N, w.Standards, w.Name + "n", w.Func)});
                }
                ++r;
            }
            const int lastRow = r; // the closing supply row
            for (int zr = firstRow; zr <= lastRow; ++zr)
                for (int off = 0; off < kZoneWidth; ++off) {
                    const int c = ZoneColumn(side, off);
                    zoneSide_[At(zr, c)] = side;
                    if (use_[At(zr, c)] == Use::Free)
                        units.push_back({MakeSupply(zr, c)});
                }
            nextRow[side] = lastRow + 1;
            refClkPins_ += 2 * refClks;
            for (auto& u : units)
                units_.push_back(std::move(u));
        }
    }

    int ZoneColumn(int side, int offset) const { return side == 0 ? n_ - 1 - offset : offset; }

    // Configuration and JTAG pins take the free balls nearest the south-west corner.
    void PlaceConfig() {
        std::vector<std::pair<int, int>> balls = FreeBalls();
        auto key = [&](const std::pair<int, int>& b) {
            return std::make_tuple(std::max(n_ - 1 - b.first, b.second), -b.first, b.second);
        };
        std::sort(balls.begin(), balls.end(), [&](auto& a, auto& b) { return key(a) < key(b); });
        for (std::size_t i = 0; i < std::size(kConfigPins); ++i) {
            const ConfigPin& cp = kConfigPins[i];
            configUnits_.push_back(
                {MakeRole(balls[i].first, balls[i].second, "", "", "", cp.Options, 0, cp.Name, cp.Func)});
        }
    }

    std::vector<std::pair<int, int>> FreeBalls() const {
        std::vector<std::pair<int, int>> balls;
        for (int r = 0; r < n_; ++r)
            for (int c = 0; c < n_; ++c)
                if (use_[At(r, c)] == Use::Free)
                    balls.emplace_back(r, c);
        return balls;
    }

    // User IO: the outermost free balls (by ring, then by sweep angle) become user
    // IO; sorted by sweep angle they are cut into the IO banks, 3A first at the
    // south-east corner. Inside a bank the balls are taken ring by ring along the
    // sweep: differential pairs first (P, then N on the next ball), then VREF, the
    // dual-purpose balls and plain IO.
    void PlaceUserIO() {
        const int userIO = row_.IOCount - refClkPins_;
        if (userIO <= 0)
            Fail(Where() + ": no user IO left");
        if (userIO > minGroups_)
            Fail(Where() + ": " + std::to_string(userIO) + " user IO balls exceed the die's " +
                 std::to_string(minGroups_) + " boundary-scan groups");
        auto ringKey = [&](const std::pair<int, int>& b) {
            return std::make_tuple(Depth(b.first, b.second), angle_[At(b.first, b.second)], b.first, b.second);
        };
        auto sweepKey = [&](const std::pair<int, int>& b) {
            return std::make_tuple(angle_[At(b.first, b.second)], Depth(b.first, b.second), b.first, b.second);
        };
        std::vector<std::pair<int, int>> balls = FreeBalls();
        if (static_cast<int>(balls.size()) < userIO)
            Fail(Where() + ": not enough balls for the user IO");
        std::sort(balls.begin(), balls.end(), [&](auto& a, auto& b) { return ringKey(a) < ringKey(b); });
        balls.resize(userIO);
        std::sort(balls.begin(), balls.end(), [&](auto& a, auto& b) { return sweepKey(a) < sweepKey(b); });

        const int bankCount = std::max(2, (userIO + kIOPerBank - 1) / kIOPerBank);
        if (bankCount > static_cast<int>(std::size(kBankPriority)))
            Fail(Where() + ": too many IO banks");
        std::vector<std::string> banks(kBankPriority, kBankPriority + bankCount);
        std::sort(banks.begin(), banks.end());

        std::vector<int> size(bankCount, userIO / bankCount), cap(bankCount), pairs(bankCount);
        for (int i = 0; i < userIO % bankCount; ++i)
            ++size[i];
        int capTotal = 0;
        for (int i = 0; i < bankCount; ++i) {
            const int reserved = 1 + (i == bankCount - 1 ? kDualPurposeCount : 0);
            cap[i] = (size[i] - reserved) / 2;
            capTotal += cap[i];
        }
        if (capTotal < row_.DiffCount)
            Fail(Where() + ": the IO banks cannot hold the differential pairs");
        int left = row_.DiffCount;
        for (int i = 0; i < bankCount; ++i) {
            pairs[i] = static_cast<int>(static_cast<long long>(cap[i]) * row_.DiffCount / capTotal);
            left -= pairs[i];
        }
        for (int i = 0; left > 0; i = (i + 1) % bankCount)
            if (pairs[i] < cap[i]) {
                ++pairs[i];
                --left;
            }

        int clockId = 0, pllId = 0, group = 0;
        std::size_t cursor = 0;
        for (int i = 0; i < bankCount; ++i) {
            const std::string& bank = banks[i];
            const bool hasPll = bank[1] == 'A';
            const bool hasClock = bank[1] == 'A' || bank[1] == 'B';
            if (pairs[i] < (hasPll ? 1 : 0) + (hasClock ? 2 : 0))
                Fail(Where() + ": bank " + bank + " has too few pairs");
            std::vector<std::pair<int, int>> mine(balls.begin() + cursor, balls.begin() + cursor + size[i]);
            cursor += size[i];
            std::sort(mine.begin(), mine.end(), [&](auto& a, auto& b) { return ringKey(a) < ringKey(b); });
            std::size_t b = 0;
            std::vector<Unit> units;
            auto io = [&](std::string diff, std::string clk, uint16_t options, uint64_t standards, std::string name) {
                const auto [r, c] = mine[b++];
                Role role = MakeRole(r, c, bank, std::move(diff), std::move(clk), options, standards, std::move(name),
                                     Function::UserIO);
                role.P.ScanGroup = static_cast<int>(static_cast<long long>(group++) * minGroups_ / userIO);
                return role;
            };
            const int regular = pairs[i] - (hasPll ? 1 : 0);
            for (int j = 1; j <= regular; ++j) {
                const std::string id = std::to_string(j);
                if (hasClock && j == 2) {
                    const std::string clk = std::to_string(clockId++);
                    Role p = io(id, clk, kIO | kCLK | kDiffP | kClkDiffP, sets_.ClockPair, "CLK" + clk + "p");
                    Role n = io(id, clk, kIO | kCLK | kDiffN | kClkDiffN, sets_.ClockPair, "CLK" + clk + "n");
                    units.push_back({p, n});
                } else {
                    const std::string name = "DIFFIO_" + bank + "_" + id;
                    Role p = io(id, "", kIO | kDiffP, sets_.Pair, name + "p");
                    Role n = io(id, "", kIO | kDiffN, sets_.Pair, name + "n");
                    units.push_back({p, n});
                }
            }
            if (hasPll) {
                const std::string id = "PLL" + std::to_string(pllId++) + "_CLKOUT";
                Role p = io(id, "", kIO | kCLK | kDiffP | kDLL, sets_.Pair, id + "p");
                Role n = io(id, "", kIO | kCLK | kDiffN | kDLL, sets_.Pair, id + "n");
                units.push_back({p, n});
            }
            units.push_back({io("", "", kIO | kVREF, sets_.Vref, "VREFB" + bank + "N0")});
            if (i == bankCount - 1)
                for (const char* dual : kDualPurposeNames) {
                    units.push_back({io("", "", kIO | kSpecial, sets_.Single, "IO")});
                    dualBalls_.push_back({units.back()[0], dual});
                }
            while (b < mine.size())
                units.push_back({io("", "", kIO, sets_.Single, "IO")});
            for (auto& u : units)
                units_.push_back(std::move(u));
        }
        scanBalls_ = userIO;
    }

    void PlaceSupplies() {
        for (auto& u : configUnits_)
            units_.push_back(std::move(u));
        for (const auto& [r, c] : FreeBalls())
            units_.push_back({MakeSupply(r, c)});
    }

    // The configuration function of each dual-purpose ball is listed once more at
    // the end of the table: same ball and bank, Special only, no IO standards.
    void AddSecondListings() {
        for (const auto& [first, name] : dualBalls_) {
            Role role = first;
            role.P.DiffId.clear();
            role.P.ClkDiffId.clear();
            role.P.Options = kSpecial;
            role.P.Standards = 0;
            role.P.Name = name;
            role.P.Func = Function::Config;
            units_.push_back({role});
        }
    }

    // Each reference row names a role (bank, pair ids, flags, standards), a ball
    // and a table position. The unit holding the nearest pin of that role takes the
    // ball (trading balls with whatever pin had it) and is pinned to the position.
    void PlaceReferences(const ReferenceSet& refs) {
        std::vector<ReferenceRow> rows = refs.Rows;
        std::sort(rows.begin(), rows.end(), [](auto& a, auto& b) { return a.Entry < b.Entry; });
        for (const ReferenceRow& ref : rows) {
            const auto [rr, rc] = ParseBall(ref.Ball);
            int bestUnit = -1, bestPin = -1;
            long long bestDistance = 0;
            for (std::size_t u = 0; u < units_.size(); ++u) {
                if (slotOfUnit_.count(static_cast<int>(u)))
                    continue;
                for (std::size_t k = 0; k < units_[u].size(); ++k) {
                    const Role& role = units_[u][k];
                    if (role.P.Bank != ref.Bank || role.P.DiffId != ref.DiffId || role.P.ClkDiffId != ref.ClkDiffId ||
                        role.P.Options != ref.Options || role.P.Standards != ref.Standards)
                        continue;
                    const long long d = 1LL * (role.R - rr) * (role.R - rr) + 1LL * (role.C - rc) * (role.C - rc);
                    if (bestUnit < 0 || d < bestDistance) {
                        bestUnit = static_cast<int>(u);
                        bestPin = static_cast<int>(k);
                        bestDistance = d;
                    }
                }
            }
            if (bestUnit < 0)
                Fail(Where() + ": no pin has the role of reference row " + std::to_string(ref.Entry));
            const int start = ref.Entry - bestPin;
            const int size = static_cast<int>(units_[bestUnit].size());
            if (start < 0)
                Fail(Where() + ": reference row " + std::to_string(ref.Entry) + " does not fit its pair");
            for (const auto& [s, u] : slots_)
                if (start < s + static_cast<int>(units_[u].size()) && s < start + size)
                    Fail(Where() + ": reference rows overlap at " + std::to_string(ref.Entry));
            Role& chosen = units_[bestUnit][bestPin];
            const int oldR = chosen.R, oldC = chosen.C;
            for (auto& unit : units_)
                for (auto& role : unit)
                    if (role.R == rr && role.C == rc) {
                        if (fixedBalls_.count(At(rr, rc)))
                            Fail(Where() + ": ball " + ref.Ball + " is fixed twice");
                        role.R = oldR;
                        role.C = oldC;
                    }
            chosen.R = rr;
            chosen.C = rc;
            fixedBalls_.insert(At(rr, rc));
            slots_[start] = bestUnit;
            slotOfUnit_[bestUnit] = start;
        }
    }

    std::pair<int, int> ParseBall(const std::string& ball) const {
        for (int r = 0; r < n_; ++r) {
            const std::string name = RowName(r);
            if (ball.rfind(name, 0) != 0 || ball.size() == name.size())
                continue;
            const std::string digits = ball.substr(name.size());
            if (digits.find_first_not_of("0123456789") != std::string::npos)
                continue;
            const int c = std::stoi(digits) - 1;
            if (c >= 0 && c < n_ && use_[At(r, c)] != Use::Empty)
                return {r, c};
        }
        Fail(Where() + ": " + ball + " is not a ball of the package");
    }

    // Supplies are named from their final position. In a transceiver zone: GND on
    // the checkerboard, otherwise the transceiver supplies VCCR/VCCT/VCCH_GXB<side>
    // in turn. Elsewhere: GND on the checkerboard, VCCIO<bank> next to a user IO
    // ball of that bank (up to two balls away), otherwise the core supplies
    // (VCCBAT once, VCCPGM twice, VCCAUX four times in row order, then VCC).
    void NameSupplies() {
        std::vector<std::string> bankAt(n_ * n_);
        for (const auto& unit : units_)
            for (const auto& role : unit)
                if (role.P.Func == Function::UserIO)
                    bankAt[At(role.R, role.C)] = role.P.Bank;
        std::vector<Role*> supplies;
        for (auto& unit : units_)
            for (auto& role : unit)
                if (role.Supply)
                    supplies.push_back(&role);
        std::sort(supplies.begin(), supplies.end(),
                  [](const Role* a, const Role* b) { return std::tie(a->R, a->C) < std::tie(b->R, b->C); });
        int core = 0;
        for (Role* role : supplies) {
            const int r = role->R, c = role->C;
            const int side = zoneSide_[At(r, c)];
            Function func = Function::Power;
            std::string name;
            if ((r + c) % 2 == 0) {
                name = "GND";
                func = Function::Ground;
            } else if (side >= 0) {
                static const char* const kGxb[] = {"VCCR_GXB", "VCCT_GXB", "VCCH_GXB"};
                name = std::string(kGxb[(r / 2) % 3]) + (side == 0 ? "L" : "R");
            } else {
                name = NearbyBank(bankAt, r, c);
                if (!name.empty()) {
                    name = "VCCIO" + name;
                } else {
                    name = core == 0 ? "VCCBAT" : core < 3 ? "VCCPGM" : core < 7 ? "VCCAUX" : "VCC";
                    ++core;
                }
            }
            role->P.Name = name;
            role->P.Func = func;
        }
    }

    std::string NearbyBank(const std::vector<std::string>& bankAt, int r, int c) const {
        for (int d = 1; d <= 2; ++d)
            for (int y = std::max(0, r - d); y <= std::min(n_ - 1, r + d); ++y)
                for (int x = std::max(0, c - d); x <= std::min(n_ - 1, c + d); ++x)
                    if (!bankAt[At(y, x)].empty())
                        return bankAt[At(y, x)];
        return {};
    }

    // Table order: units in their natural order (transceiver banks, IO banks,
    // configuration, supplies, second listings) around the pinned reference units.
    // A gap too small for the next unit takes the next single-pin unit instead;
    // after a pinned unit of a bank, the rest of that bank moves to the front.
    void Flatten() {
        std::deque<int> queue;
        for (std::size_t u = 0; u < units_.size(); ++u)
            if (!slotOfUnit_.count(static_cast<int>(u)))
                queue.push_back(static_cast<int>(u));
        std::vector<int> order;
        int pos = 0;
        auto emit = [&](int u) {
            order.push_back(u);
            pos += static_cast<int>(units_[u].size());
        };
        while (!queue.empty() || slots_.lower_bound(pos) != slots_.end()) {
            if (auto slot = slots_.find(pos); slot != slots_.end()) {
                const int u = slot->second;
                emit(u);
                const std::string& bank = units_[u][0].P.Bank;
                if (!bank.empty())
                    std::stable_partition(queue.begin(), queue.end(),
                                          [&](int q) { return units_[q][0].P.Bank == bank; });
                continue;
            }
            const auto nextSlot = slots_.lower_bound(pos);
            const int gap = nextSlot == slots_.end() ? 1 << 30 : nextSlot->first - pos;
            auto fit = std::find_if(queue.begin(), queue.end(),
                                    [&](int q) { return static_cast<int>(units_[q].size()) <= gap; });
            if (fit == queue.end())
                Fail(Where() + ": cannot fill the table up to entry " + std::to_string(nextSlot->first));
            const int u = *fit;
            queue.erase(fit);
            emit(u);
        }
        std::map<int, int> firstOfBall;
        for (int u : order)
            for (const Role& role : units_[u]) {
                Pin pin = role.P;
                pin.Ball = BallName(role.R, role.C);
                const int index = static_cast<int>(out_.Pins.size());
                pin.FirstEntry = firstOfBall.emplace(At(role.R, role.C), index).first->second;
                out_.Pins.push_back(std::move(pin));
            }
        out_.ScanBalls = scanBalls_;
    }

    void Check(const ReferenceSet* refs) const {
        int io = 0, diff = 0, hs = 0, hsn = 0, seconds = 0;
        std::set<std::string> balls;
        for (std::size_t i = 0; i < out_.Pins.size(); ++i) {
            const Pin& p = out_.Pins[i];
            io += (p.Options & kIO) != 0;
            diff += (p.Options & kDiffP) != 0;
            hs += (p.Options & kHDiffP) != 0;
            hsn += (p.Options & kHDiffN) != 0;
            if (p.FirstEntry != static_cast<int>(i))
                ++seconds;
            balls.insert(p.Ball);
        }
        if (static_cast<int>(out_.Pins.size()) != row_.PinCount || io != row_.IOCount || diff != row_.DiffCount ||
            hs != row_.HSpeedDiffCount || hsn != hs)
            Fail(Where() + ": counts do not match the pin-out row");
        if (seconds != kDualPurposeCount || static_cast<int>(balls.size()) != pkg_.Balls)
            Fail(Where() + ": every ball must be listed, five of them twice");
        if (!refs)
            return;
        for (const ReferenceRow& ref : refs->Rows) {
            const Pin& p = out_.Pins.at(ref.Entry);
            if (p.Ball != ref.Ball || p.Bank != ref.Bank || p.DiffId != ref.DiffId || p.ClkDiffId != ref.ClkDiffId ||
                p.Options != ref.Options || p.Standards != ref.Standards)
                Fail(Where() + ": reference row " + std::to_string(ref.Entry) + " not reproduced");
        }
    }

    const PinOutRow& row_;
    const PackageInfo& pkg_;
    const int n_;
    const int minGroups_;
    const StandardSets sets_;
    std::vector<Use> use_;
    std::vector<int> zoneSide_;
    std::vector<int> angle_;
    std::vector<Unit> units_;       // natural order
    std::vector<Unit> configUnits_; // appended after the IO banks
    std::vector<std::pair<Role, std::string>> dualBalls_;
    int refClkPins_ = 0;
    int scanBalls_ = 0;
    std::map<int, int> slots_;      // table position -> unit
    std::map<int, int> slotOfUnit_; // unit -> table position
    std::set<int> fixedBalls_;
    PinOut out_;
};

} // namespace

PinOut BuildPinOut(const InputData& data, int row, int minGroupCount, const ReferenceSet* references) {
    return Builder(data, row, minGroupCount).Build(references);
}

} // namespace devgen
