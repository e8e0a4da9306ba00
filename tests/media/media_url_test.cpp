#include "media/media_url.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillo::media {
namespace {

TEST(MediaUrlTest, WrapsExactlyTheNamesTheLibrariesWouldMisread) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"/home/user/clip.mp4", false},
        {"clip.mp4", false},
        {"/home/user/été/clip é.mp4", false},  // UTF-8 is fine as it is
        {"/tmp/a:b.mp4", false},               // the part before ':' is no protocol name
        {"a:b.mp4", true},                     // relative name that looks like "scheme:rest"
        {"clip:1.avi", true},
        {"C:clip.avi", true},
        {"my-file+v1.0:x.avi", true},
        {":clip.avi", true},
        {"HTTP:clip.avi", true},  // protocol names are case-sensitive
        {"http://example.com/é.mp4", false},
        {"udp://239.0.0.1:1234", false},
        {"rtp://host", false},
        {"tcp://host:1", false},
        {"pipe:0", false},
        {"unicode:utf8:/tmp/a:b.mp4", false},  // already wrapped
        {"unicode:clip.avi", true},            // a relative name, not our form
        {"/tmp/\xff\xfe.mp4", true},
        {"/tmp/\xc3.mp4", true},
        {"/tmp/\xc0\xaf.mp4", true},  // overlong '/'
    };
    for (const auto& [name, wrapped] : cases) {
        EXPECT_EQ(NeedsUnicodeURL(name), wrapped) << name;
        EXPECT_EQ(MakeMediaURL(name), wrapped ? "unicode:utf8:" + name : name) << name;
        if (wrapped) {
            EXPECT_EQ(MediaURLToFileName(MakeMediaURL(name)), name) << name;
        }
    }
}

TEST(MediaUrlTest, UrlToFileNameUnwrapsOnlyOurForm) {
    EXPECT_EQ(MediaURLToFileName("unicode:utf8:/x/é.mp4"), "/x/é.mp4");
    EXPECT_EQ(MediaURLToFileName("unicode:utf8:a:b:c"), "a:b:c");
    EXPECT_EQ(MediaURLToFileName("unicode:utf8:"), "unicode:utf8:");  // nothing wrapped
    EXPECT_EQ(MediaURLToFileName("/x/clip.mp4"), "/x/clip.mp4");
    EXPECT_EQ(MediaURLToFileName("http://host/a"), "http://host/a");
}

TEST(MediaUrlTest, Utf8Validation) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"", true},
        {"plain", true},
        {"\xc3\xa9", true},
        {"\xe2\x82\xac", true},
        {"\xf0\x9f\x98\x80", true},
        {"\xc3", false},
        {"\xe2\x82", false},
        {"\x80", false},
        {"\xc0\xaf", false},
        {"\xed\xa0\x80", false},          // surrogate
        {"\xf4\x90\x80\x80", false},      // past U+10FFFF
        {"\xf8\x88\x80\x80\x80", false},  // five-byte form
    };
    for (const auto& [text, valid] : cases) {
        EXPECT_EQ(IsValidUtf8(text), valid) << ::testing::PrintToString(text);
    }
}

}  // namespace
}  // namespace quillo::media
