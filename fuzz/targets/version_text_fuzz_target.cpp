// Version texts from the policy and the install manifest: two lines, a and b (b is a again when
// the input has one line). The rule is compared with its second writing in fuzz_targets.h and
// the order with the numbers' order.

#include <compare>

#include "fuzz_targets.h"
#include "policy/version_rules.h"

namespace velko {

int fuzz_version_text(const std::uint8_t* data, std::size_t size) {
  const auto parts = fuzz::lines(fuzz::as_text(data, size), 2);
  const std::string_view a = parts[0];
  const std::string_view b = parts.size() > 1 ? parts[1] : a;

  std::array<std::uint32_t, 3> numbersA{};
  std::array<std::uint32_t, 3> numbersB{};
  const bool validA = fuzz::version_text_ok(a, &numbersA);
  const bool validB = fuzz::version_text_ok(b, &numbersB);
  VELKO_FUZZ_CHECK(is_valid_version(a) == validA);
  VELKO_FUZZ_CHECK(is_valid_version(b) == validB);

  const auto parsedA = parse_version(a);
  VELKO_FUZZ_CHECK(parsedA.has_value() == validA);
  if (parsedA) {
    VELKO_FUZZ_CHECK(parsedA->major == numbersA[0] && parsedA->minor == numbersA[1] &&
                     parsedA->patch == numbersA[2]);
    VELKO_FUZZ_CHECK(std::to_string(parsedA->major) + "." + std::to_string(parsedA->minor) + "." +
                         std::to_string(parsedA->patch) ==
                     a);
  } else {
    VELKO_FUZZ_CHECK(parsedA.error() == "版本号格式无效：" + std::string(a));
  }

  const auto order = compare_versions(a, b);
  const auto reverse = compare_versions(b, a);
  if (!validA) {
    VELKO_FUZZ_CHECK(!order && order.error() == "版本号格式无效：" + std::string(a));
  } else if (!validB) {
    VELKO_FUZZ_CHECK(!order && order.error() == "版本号格式无效：" + std::string(b));
  } else {
    VELKO_FUZZ_CHECK(order && reverse);
    VELKO_FUZZ_CHECK(*order == (numbersA <=> numbersB));
    VELKO_FUZZ_CHECK(*reverse == (numbersB <=> numbersA));
  }
  return 0;
}

}  // namespace velko
