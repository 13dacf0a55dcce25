// Storing and loading the port's settings in an INI section or an open registry key, by the
// groups chosen in PersistGroups. Every loaded value goes through its property's setter, so an
// open port re-applies (or reopens) as it would for any other write.
#include "serial/com_port.h"

#include "serial/com_conversions.h"
#include "store/ini_file.h"
#include "store/registry_store.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace lantorvix {

namespace {

// One medium with the read and write operations the rows need. INI reads fall back to the
// given default; registry reads ignore it (a missing string is empty, a missing integer raises).
class Medium {
public:
    virtual ~Medium() = default;
    virtual std::string ReadText(const char* key, const std::string& fallback) = 0;
    virtual std::int32_t ReadNumber(const char* key, std::int32_t fallback) = 0;
    virtual void WriteText(const char* key, const std::string& value) = 0;
    virtual void WriteNumber(const char* key, std::int32_t value) = 0;
};

class IniMedium final : public Medium {
public:
    IniMedium(IniFile& ini, std::string section) : ini_(ini), section_(std::move(section)) {}
    std::string ReadText(const char* key, const std::string& fallback) override
    {
        return ini_.ReadString(section_, key, fallback);
    }
    std::int32_t ReadNumber(const char* key, std::int32_t fallback) override
    {
        return ini_.ReadInteger(section_, key, fallback);
    }
    void WriteText(const char* key, const std::string& value) override
    {
        ini_.WriteString(section_, key, value);
    }
    void WriteNumber(const char* key, std::int32_t value) override
    {
        ini_.WriteInteger(section_, key, value);
    }

private:
    IniFile& ini_;
    std::string section_;
};

class RegistryMedium final : public Medium {
public:
    explicit RegistryMedium(RegistryStore& registry) : registry_(registry) {}
    std::string ReadText(const char* key, const std::string&) override { return registry_.ReadString(key); }
    std::int32_t ReadNumber(const char* key, std::int32_t) override { return registry_.ReadInteger(key); }
    void WriteText(const char* key, const std::string& value) override { registry_.WriteString(key, value); }
    void WriteNumber(const char* key, std::int32_t value) override { registry_.WriteInteger(key, value); }

private:
    RegistryStore& registry_;
};

using Port = TCustomComPort;

// One stored setting: a text row has Text/SetText, an integer row Number/SetNumber.
struct Row {
    TPersistGroup group;
    const char* key;
    std::string (*text)(const Port&) = nullptr;
    void (*setText)(Port&, std::string_view) = nullptr;
    std::int32_t (*number)(const Port&) = nullptr;
    void (*setNumber)(Port&, std::int32_t) = nullptr;
};

Row TextRow(TPersistGroup group, const char* key, std::string (*text)(const Port&),
            void (*setText)(Port&, std::string_view))
{
    return Row{group, key, text, setText, nullptr, nullptr};
}

Row NumberRow(TPersistGroup group, const char* key, std::int32_t (*number)(const Port&),
              void (*setNumber)(Port&, std::int32_t))
{
    return Row{group, key, nullptr, nullptr, number, setNumber};
}

constexpr const char* kCustomBaudRate = "CustomBaudRate";

// Every row in the order it is written and read within its group. "CustomBaudRate" is
// handled apart: it depends on the rate just stored or loaded.
const std::vector<Row>& Rows()
{
    using G = TPersistGroup;
    static const std::vector<Row> rows = {
        TextRow(
            G::pgBasic, "Port", [](const Port& p) { return p.Port(); },
            [](Port& p, std::string_view v) { p.SetPort(std::string(v)); }),
        TextRow(
            G::pgBasic, "BaudRate", [](const Port& p) { return BaudRateToStr(p.BaudRate()); },
            [](Port& p, std::string_view v) { p.SetBaudRate(StrToBaudRate(v)); }),
        NumberRow(
            G::pgBasic, kCustomBaudRate, [](const Port& p) { return p.CustomBaudRate(); },
            [](Port& p, std::int32_t v) { p.SetCustomBaudRate(v); }),
        TextRow(
            G::pgBasic, "StopBits", [](const Port& p) { return StopBitsToStr(p.StopBits()); },
            [](Port& p, std::string_view v) { p.SetStopBits(StrToStopBits(v)); }),
        TextRow(
            G::pgBasic, "DataBits", [](const Port& p) { return DataBitsToStr(p.DataBits()); },
            [](Port& p, std::string_view v) { p.SetDataBits(StrToDataBits(v)); }),
        TextRow(
            G::pgBasic, "Parity", [](const Port& p) { return ParityToStr(p.Parity().Bits()); },
            [](Port& p, std::string_view v) { p.Parity().SetBits(StrToParity(v)); }),
        TextRow(
            G::pgBasic, "FlowControl",
            [](const Port& p) { return FlowControlToStr(p.FlowControl().FlowControl()); },
            [](Port& p, std::string_view v) { p.FlowControl().SetFlowControl(StrToFlowControl(v)); }),

        TextRow(
            G::pgOthers, "EventChar", [](const Port& p) { return CharToText(p.EventChar()); },
            [](Port& p, std::string_view v) { p.SetEventChar(TextToChar(v)); }),
        TextRow(
            G::pgOthers, "DiscardNull", [](const Port& p) { return BoolToYesNo(p.DiscardNull()); },
            [](Port& p, std::string_view v) { p.SetDiscardNull(YesNoToBool(v)); }),

        TextRow(
            G::pgParity, "Parity.Check", [](const Port& p) { return BoolToYesNo(p.Parity().Check()); },
            [](Port& p, std::string_view v) { p.Parity().SetCheck(YesNoToBool(v)); }),
        TextRow(
            G::pgParity, "Parity.Replace", [](const Port& p) { return BoolToYesNo(p.Parity().Replace()); },
            [](Port& p, std::string_view v) { p.Parity().SetReplace(YesNoToBool(v)); }),
        TextRow(
            G::pgParity, "Parity.ReplaceChar",
            [](const Port& p) { return CharToText(p.Parity().ReplaceChar()); },
            [](Port& p, std::string_view v) { p.Parity().SetReplaceChar(TextToChar(v)); }),

        NumberRow(
            G::pgBuffer, "Buffer.OutputSize", [](const Port& p) { return p.Buffer().OutputSize(); },
            [](Port& p, std::int32_t v) { p.Buffer().SetOutputSize(v); }),
        NumberRow(
            G::pgBuffer, "Buffer.InputSize", [](const Port& p) { return p.Buffer().InputSize(); },
            [](Port& p, std::int32_t v) { p.Buffer().SetInputSize(v); }),

        NumberRow(
            G::pgTimeouts, "Timeouts.ReadInterval", [](const Port& p) { return p.Timeouts().ReadInterval(); },
            [](Port& p, std::int32_t v) { p.Timeouts().SetReadInterval(v); }),
        NumberRow(
            G::pgTimeouts, "Timeouts.ReadTotalConstant",
            [](const Port& p) { return p.Timeouts().ReadTotalConstant(); },
            [](Port& p, std::int32_t v) { p.Timeouts().SetReadTotalConstant(v); }),
        NumberRow(
            G::pgTimeouts, "Timeouts.ReadTotalMultiplier",
            [](const Port& p) { return p.Timeouts().ReadTotalMultiplier(); },
            [](Port& p, std::int32_t v) { p.Timeouts().SetReadTotalMultiplier(v); }),
        NumberRow(
            G::pgTimeouts, "Timeouts.WriteTotalConstant",
            [](const Port& p) { return p.Timeouts().WriteTotalConstant(); },
            [](Port& p, std::int32_t v) { p.Timeouts().SetWriteTotalConstant(v); }),
        NumberRow(
            G::pgTimeouts, "Timeouts.WriteTotalMultiplier",
            [](const Port& p) { return p.Timeouts().WriteTotalMultiplier(); },
            [](Port& p, std::int32_t v) { p.Timeouts().SetWriteTotalMultiplier(v); }),

        TextRow(
            G::pgFlowControl, "FlowControl.ControlRTS",
            [](const Port& p) { return RTSToStr(p.FlowControl().ControlRTS()); },
            [](Port& p, std::string_view v) { p.FlowControl().SetControlRTS(StrToRTS(v)); }),
        TextRow(
            G::pgFlowControl, "FlowControl.ControlDTR",
            [](const Port& p) { return DTRToStr(p.FlowControl().ControlDTR()); },
            [](Port& p, std::string_view v) { p.FlowControl().SetControlDTR(StrToDTR(v)); }),
        TextRow(
            G::pgFlowControl, "FlowControl.DSRSensitivity",
            [](const Port& p) { return BoolToYesNo(p.FlowControl().DSRSensitivity()); },
            [](Port& p, std::string_view v) { p.FlowControl().SetDSRSensitivity(YesNoToBool(v)); }),
        TextRow(
            G::pgFlowControl, "FlowControl.OutCTSFlow",
            [](const Port& p) { return BoolToYesNo(p.FlowControl().OutCTSFlow()); },
            [](Port& p, std::string_view v) { p.FlowControl().SetOutCTSFlow(YesNoToBool(v)); }),
        TextRow(
            G::pgFlowControl, "FlowControl.OutDSRFlow",
            [](const Port& p) { return BoolToYesNo(p.FlowControl().OutDSRFlow()); },
            [](Port& p, std::string_view v) { p.FlowControl().SetOutDSRFlow(YesNoToBool(v)); }),
        TextRow(
            G::pgFlowControl, "FlowControl.TxContinueOnXoff",
            [](const Port& p) { return BoolToYesNo(p.FlowControl().TxContinueOnXoff()); },
            [](Port& p, std::string_view v) { p.FlowControl().SetTxContinueOnXoff(YesNoToBool(v)); }),
        TextRow(
            G::pgFlowControl, "FlowControl.XonXoffIn",
            [](const Port& p) { return BoolToYesNo(p.FlowControl().XonXoffIn()); },
            [](Port& p, std::string_view v) { p.FlowControl().SetXonXoffIn(YesNoToBool(v)); }),
        TextRow(
            G::pgFlowControl, "FlowControl.XonXoffOut",
            [](const Port& p) { return BoolToYesNo(p.FlowControl().XonXoffOut()); },
            [](Port& p, std::string_view v) { p.FlowControl().SetXonXoffOut(YesNoToBool(v)); }),
        TextRow(
            G::pgFlowControl, "FlowControl.XoffChar",
            [](const Port& p) { return CharToText(p.FlowControl().XoffChar()); },
            [](Port& p, std::string_view v) { p.FlowControl().SetXoffChar(TextToChar(v)); }),
        TextRow(
            G::pgFlowControl, "FlowControl.XonChar",
            [](const Port& p) { return CharToText(p.FlowControl().XonChar()); },
            [](Port& p, std::string_view v) { p.FlowControl().SetXonChar(TextToChar(v)); }),
    };
    return rows;
}

constexpr std::array<TPersistGroup, 6> kGroupOrder = {
    TPersistGroup::pgBasic,  TPersistGroup::pgOthers,   TPersistGroup::pgParity,
    TPersistGroup::pgBuffer, TPersistGroup::pgTimeouts, TPersistGroup::pgFlowControl};

// The custom rate is stored and loaded only with brCustom; a missing one loads as 9600.
bool Skipped(const Row& row, const Port& port)
{
    return std::string_view(row.key) == kCustomBaudRate && port.BaudRate() != TBaudRate::brCustom;
}

void Store(const Port& port, Medium& medium)
{
    for (const TPersistGroup group : kGroupOrder) {
        if (!port.PersistGroups().Contains(group)) {
            continue;
        }
        for (const Row& row : Rows()) {
            if (row.group != group || Skipped(row, port)) {
                continue;
            }
            if (row.text != nullptr) {
                medium.WriteText(row.key, row.text(port));
            } else {
                medium.WriteNumber(row.key, row.number(port));
            }
        }
    }
}

void Load(Port& port, Medium& medium)
{
    for (const TPersistGroup group : kGroupOrder) {
        if (!port.PersistGroups().Contains(group)) {
            continue;
        }
        for (const Row& row : Rows()) {
            if (row.group != group || Skipped(row, port)) {
                continue;
            }
            if (row.text != nullptr) {
                row.setText(port, medium.ReadText(row.key, row.text(port)));
            } else {
                const bool custom = std::string_view(row.key) == kCustomBaudRate;
                row.setNumber(port, medium.ReadNumber(row.key, custom ? 9600 : row.number(port)));
            }
        }
    }
}

} // namespace

void TCustomComPort::StoreToRegistry(RegistryStore& registry)
{
    RegistryMedium medium(registry);
    Store(*this, medium);
}

void TCustomComPort::StoreToIni(IniFile& ini)
{
    IniMedium medium(ini, Name());
    Store(*this, medium);
}

void TCustomComPort::LoadFromRegistry(RegistryStore& registry)
{
    RegistryMedium medium(registry);
    Load(*this, medium);
}

void TCustomComPort::LoadFromIni(IniFile& ini)
{
    IniMedium medium(ini, Name());
    Load(*this, medium);
}

} // namespace lantorvix
