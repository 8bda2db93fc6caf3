// dg_invoke on a clsShiftClass with arbitrary dispatch identifiers and
// arguments of any type and count, and dg_get_dispid with arbitrary names.
// Every call answers with a known status and leaves no result on failure.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "dutygate/dutygate.h"
#include "fuzz_check.h"

namespace {

dg_object* g_shift = nullptr;
std::filesystem::path g_dir;

void Teardown() {
    if (g_shift) dg_release(g_shift);
    std::error_code ec;
    std::filesystem::remove_all(g_dir, ec);
}

void Setup() {
    std::string pattern = (std::filesystem::temp_directory_path() / "dutygate-fuzz-XXXXXX").string();
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    g_dir = pattern;
    std::atexit(Teardown);
    dg::fuzz::ScopedWorkingDir inDir(g_dir);
    FUZZ_CHECK(dg_create_object(DG_PROGID_CLSSHIFTCLASS, &g_shift) == DG_S_OK);
}

constexpr std::int32_t kKnown[] = {DG_DISPID_SHOWDIALOG,
                                   DG_DISPID_SHOWREVISE,
                                   DG_DISPID_SHOWLANDING,
                                   DG_DISPID_SHOWSETCLASS,
                                   DG_DISPID_SHIFTCLASS,
                                   DG_DISPID_EVENT,
                                   0,
                                   -1};

bool Known(dg_status s) {
    switch (s) {
        case DG_S_OK:
        case DG_E_BAD_PARAM_COUNT:
        case DG_E_MEMBER_NOT_FOUND:
        case DG_E_POINTER:
        case DG_E_INVALIDARG:
        case DG_E_TYPE_MISMATCH:
        case DG_E_OVERFLOW:
        case DG_E_OUT_OF_RANGE: return true;
        default: return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!g_shift) Setup();
    dg::fuzz::InputReader in(data, size);
    const std::uint8_t pick = in.Byte();
    const std::int32_t raw = in.Raw<std::int32_t>();
    std::int32_t dispid = pick < 200 ? kKnown[pick % (sizeof kKnown / sizeof kKnown[0])] : raw;
    const std::uint32_t argc = in.Byte() % 10;
    const bool noArray = in.Byte() % 8 == 0;
    // The settings dialog would open a window: only with arguments, which refuse it.
    if (dispid == DG_DISPID_SHOWSETCLASS && argc == 0) dispid = DG_DISPID_SHIFTCLASS;

    std::vector<std::string> texts(argc);
    std::vector<dg_variant> args(argc);
    for (std::uint32_t k = 0; k < argc; ++k) {
        dg_variant& v = args[k];
        static constexpr std::uint16_t kTypes[] = {DG_VT_EMPTY, DG_VT_I2, DG_VT_I4, DG_VT_DATE, DG_VT_BSTR, DG_VT_BOOL};
        v.vt = in.Byte() < 240 ? kTypes[in.Byte() % 6] : in.Raw<std::uint16_t>();
        if (v.vt == DG_VT_BSTR) {
            texts[k] = in.Text();
            v.u.bstr = in.Byte() % 4 == 0 ? nullptr : texts[k].c_str();
        } else {
            v.u.date = in.Raw<double>();
        }
    }
    dg_variant result{};
    result.vt = DG_VT_BSTR;
    const dg_status status = dg_invoke(g_shift, dispid, noArray ? nullptr : args.data(), argc, &result);
    FUZZ_CHECK(Known(status));
    if (status != DG_S_OK) FUZZ_CHECK(result.vt == DG_VT_EMPTY);
    if (argc != 0) FUZZ_CHECK(status != DG_S_OK);

    const std::string name = in.Rest();
    std::int32_t found = 12345;
    const dg_status lookup = dg_get_dispid(g_shift, name.c_str(), &found);
    FUZZ_CHECK(lookup == DG_S_OK || lookup == DG_E_UNKNOWN_NAME || lookup == DG_E_INVALIDARG);
    if (lookup == DG_S_OK) FUZZ_CHECK(found == DG_DISPID_SHOWSETCLASS || found == DG_DISPID_SHIFTCLASS);
    return 0;
}
