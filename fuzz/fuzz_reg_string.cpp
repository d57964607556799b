// Registry values as text: arbitrary data of arbitrary type, under an
// arbitrary root, read through the headless in-memory registry. A number
// comes back as its decimal (at least three digits) cut to the data size
// less one, anything else as its bytes less the last; a root outside the
// seven predefined ones touches nothing; data over 255 bytes, a missing
// key or value give the empty text; and the key is always closed again.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/headless/headless.h"
#include "runtime/services.h"
#include "settings/settings.h"

namespace {

namespace reg = vellora::rt::reg;

constexpr std::size_t kBuffer = 255;

// The value as the caller should see it, worked out on its own.
std::string expected_text(std::uint32_t type, const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty() || bytes.size() > kBuffer) return {};
    // The buffer starts as 255 blanks; the data overwrite its start.
    std::string buffer(kBuffer, ' ');
    for (std::size_t i = 0; i < bytes.size(); ++i) buffer[i] = static_cast<char>(bytes[i]);
    if (type == reg::Dword) {
        std::uint64_t number = 0;
        std::uint64_t weight = 1;
        for (std::size_t k = 0; k < 4; ++k, weight *= 256) number += static_cast<unsigned char>(buffer[k]) * weight;
        buffer = std::to_string(number);
        if (buffer.size() < 3) buffer.insert(0, 3 - buffer.size(), '0');
    }
    return buffer.substr(0, bytes.size() - 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    static const auto dir = vellora::fuzz::scratch_dir();
    vellora::headless::HeadlessPlatform platform(dir);

    // Mostly the types the registry has, sometimes any number at all.
    const std::uint32_t types[] = {reg::Sz, reg::ExpandSz, reg::Binary, reg::Dword, reg::MultiSz, 0, 11};
    const std::uint32_t type = in.ConsumeBool() ? in.PickValueInArray(types) : in.ConsumeIntegral<std::uint32_t>();
    const std::uint32_t stored_root = reg::ClassesRoot + in.ConsumeIntegralInRange<std::uint32_t>(0, 6);
    const std::uint32_t asked_root = in.ConsumeBool() ? stored_root : in.ConsumeIntegral<std::uint32_t>();
    const bool key_present = in.ConsumeIntegralInRange<int>(0, 7) != 0;
    const bool value_present = in.ConsumeIntegralInRange<int>(0, 7) != 0;
    const std::string key = "Control Panel\\Desktop";
    const std::string value_name = in.ConsumeRandomLengthString(16);
    std::vector<std::uint8_t> bytes = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 300));

    if (key_present) platform.add_registry_key(stored_root, key);
    if (key_present && value_present) platform.set_registry_value(stored_root, key, value_name, type, bytes);

    const std::string text =
        vellora::settings::ReadRegString(*platform.services().registry(), asked_root, key, value_name);

    const bool predefined = asked_root >= reg::ClassesRoot && asked_root <= reg::DynData;
    if (!predefined) {
        VELLORA_FUZZ_CHECK(text.empty());
        VELLORA_FUZZ_CHECK(platform.registry_calls() == 0);
        return 0;
    }
    VELLORA_FUZZ_CHECK(platform.open_registry_keys() == 0);
    if (asked_root != stored_root || !key_present || !value_present) {
        VELLORA_FUZZ_CHECK(text.empty());
        return 0;
    }
    VELLORA_FUZZ_CHECK(text == expected_text(type, bytes));
    VELLORA_FUZZ_CHECK(text.size() < kBuffer);
    return 0;
}
