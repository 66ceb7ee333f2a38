#include "updater/ui/link_address.h"

#include <gtest/gtest.h>

#include <string>

#include "updater/ui/rich_text.h"

namespace {

struct LinkCase {
  std::string target;
  std::optional<std::string> opened;
};

std::ostream& operator<<(std::ostream& out, const LinkCase& c) { return out << c.target; }

class LinkTarget : public testing::TestWithParam<LinkCase> {};

TEST_P(LinkTarget, OpensOnlyWebAndMailAddresses) {
  EXPECT_EQ(OpenableLinkAddress(GetParam().target), GetParam().opened);
}

const std::string kLong = "http://x/" + std::string(rich_text::kMaxLinkAddressBytes, 'a');

INSTANTIATE_TEST_SUITE_P(
    Cases, LinkTarget,
    testing::Values(
        LinkCase{"http://example.com/a?b=1&c=2", "http://example.com/a?b=1&c=2"},
        LinkCase{"\"https://example.com\"", "https://example.com"},
        LinkCase{"  \"HTTP://Example.com\"  ", "HTTP://Example.com"},
        LinkCase{"mailto:someone@example.com", "mailto:someone@example.com"},
        LinkCase{"MailTo:a@b", "MailTo:a@b"},
        LinkCase{"'https://example.com'", "https://example.com"},
        LinkCase{"'https://example.com\"", std::nullopt}, LinkCase{"http://", std::nullopt},
        LinkCase{"mailto:", std::nullopt}, LinkCase{"http:example.com", std::nullopt},
        LinkCase{"ftp://example.com", std::nullopt}, LinkCase{"file:///etc/passwd", std::nullopt},
        LinkCase{"javascript:alert(1)", std::nullopt}, LinkCase{"APP:Quit", std::nullopt},
        LinkCase{"\"APP:Quit\"", std::nullopt}, LinkCase{"-http://example.com", std::nullopt},
        LinkCase{"/usr/bin/program", std::nullopt},
        LinkCase{"http://example.com/a b", std::nullopt},
        LinkCase{"http://example.com/\n", std::nullopt},
        LinkCase{"\"http://example.com", std::nullopt}, LinkCase{"", std::nullopt},
        LinkCase{kLong, std::nullopt}));

}  // namespace
