// The catalogue of settings each I/O board keeps: names, kinds, defaults and writability.
#include "dio/dio.h"

namespace zolsim {

namespace {

using K = Kind;
constexpr bool RW = true;
constexpr bool RO = false;

// Default edges: every input reports rising edges once it is enabled.
constexpr std::int64_t kAllRising = 0xffffffff;
constexpr std::int64_t kDefaultTimeout = 1000; // milliseconds

} // namespace

// Writable settings come first, in the order a settings file lists them.
std::vector<SettingDef> dio_catalogue(DioType type, int id) {
    if (type == DioType::RM1600)
        return {
            {"Timeout", K::Signed, RW, kDefaultTimeout, nullptr},
            {"DIEnable", K::Unsigned, RW, 0, nullptr},
            {"DIEdge", K::Unsigned, RW, kAllRising, nullptr},
            {"DIWaitEnable", K::Unsigned, RW, 0, nullptr},
            {"DINoiseFilterTime", K::Signed, RW, 0, nullptr},
            {"Version", K::Signed, RW, 1, nullptr},
            {"DeviceID", K::Signed, RO, id, nullptr},
            {"DeviceType", K::Signed, RO, 1600, nullptr},
            {"DriverVersion", K::Signed, RO, DriverVersion::number, nullptr},
            {"FpgaVersion", K::Signed, RO, DioFpgaVersion::number, nullptr},
            {"DriverVersionName", K::Text, RO, 0, DriverVersion::text},
            {"FpgaVersionName", K::Text, RO, 0, DioFpgaVersion::text},
        };
    // The MB100 and the DQ160 share the settings of the interrupt input and of the identity;
    // the DQ160 adds its noise filters and its FPGA version.
    const bool dq160 = type == DioType::DQ160;
    std::vector<SettingDef> c = {
        {"Timeout", K::Signed, RW, kDefaultTimeout, nullptr},
        {"INTEnable", K::Signed, RW, 0, nullptr},
        {"INTEdge", K::Signed, RW, 0, nullptr},
        {"INTWaitEnable", K::Signed, RW, 1, nullptr},
        {"DIEnable", K::Unsigned, RW, 0, nullptr},
        {"DIEdge", K::Unsigned, RW, kAllRising, nullptr},
        {"DIWaitEnable", K::Unsigned, RW, 0, nullptr},
        {"DIWaitMode", K::Signed, RW, 0, nullptr},
    };
    if (dq160)
        c.insert(c.end(), {
                              {"DINoiseFilterWidth", K::Signed, RW, 0, nullptr},
                              {"DINoiseFilterScale", K::Signed, RW, 0, nullptr},
                              {"INTNoiseFilterWidth", K::Signed, RW, 0, nullptr},
                              {"INTNoiseFilterScale", K::Signed, RW, 0, nullptr},
                          });
    c.insert(c.end(), {
                          {"Version", K::Signed, RW, 1, nullptr},
                          {"INTStatus", K::Signed, RO, 0, nullptr},
                          {"DeviceID", K::Signed, RO, id, nullptr},
                          {"DeviceType", K::Signed, RO, dq160 ? 160 : 100, nullptr},
                          {"DriverVersion", K::Signed, RO, DriverVersion::number, nullptr},
                      });
    if (dq160)
        c.push_back({"FpgaVersion", K::Signed, RO, DioFpgaVersion::number, nullptr});
    return c;
}

} // namespace zolsim
