#include "streams/FilterChainBuilder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <deque>
#include <initializer_list>
#include <map>
#include <string>

#include "runtime/ValueStore.h"
#include "tests/streams/StreamTestSupport.h"

namespace streams {
namespace {

using runtime::ObjectHandle;
using runtime::ObjectValue;
using testing::Capture;
using testing::Chunks;
using testing::Drain;

// Stands in for the document: object n is a value of the test's store.
class Objects final : public runtime::ReferenceResolver {
 public:
  explicit Objects(runtime::ValueStore* store) : store_(store) {}
  void Define(uint32_t number, const ObjectValue& value) { objects_[number] = value; }
  ObjectHandle Resolve(LibraryContext* context, const runtime::ObjectReference& reference) override {
    auto found = objects_.find(reference.number);
    if (found == objects_.end()) return ObjectHandle();
    return ObjectHandle(context, &found->second, store_, this);
  }

 private:
  runtime::ValueStore* store_;
  std::map<uint32_t, ObjectValue> objects_;
};

class FilterChainBuilderTest : public ::testing::Test {
 protected:
  ObjectValue Dict(std::initializer_list<ObjectValue> entries) {
    return store_->Dictionary(entries.begin(), static_cast<uint32_t>(entries.size()));
  }
  ObjectValue Array(std::initializer_list<ObjectValue> items) {
    return store_->Array(items.begin(), static_cast<uint32_t>(items.size()));
  }
  ObjectValue Name(const char* text) { return store_->Name(text); }
  ObjectHandle Handle(const ObjectValue& value) {
    kept_.push_back(value);
    return ObjectHandle(&context_, &kept_.back(), store_.Get(), &objects_);
  }
  // Decodes `raw` through the chain that `dictionary` names.
  std::string Decode(const ObjectValue& dictionary, const std::string& raw, bool inlineImage = false) {
    StreamRef chain = Chunks(&context_, raw);
    BuildFilterChain(&context_, chain, Handle(dictionary),
                     inlineImage ? DecodeFilterRegistry::Inline() : DecodeFilterRegistry::Document(),
                     inlineImage);
    return Drain(*chain);
  }
  testing::Caught Failure(const ObjectValue& dictionary, bool inlineImage = false) {
    return Capture(&context_, [&] { Decode(dictionary, "41", inlineImage); });
  }

  LibraryContext context_;
  runtime::StoreRef store_ = runtime::StoreRef::Adopt(&context_, runtime::ValueStore::New(&context_));
  Objects objects_{store_.Get()};
  std::deque<ObjectValue> kept_;
};

TEST_F(FilterChainBuilderTest, NamesArraysAndAbbreviations) {
  EXPECT_EQ(Decode(Dict({Name("Length"), ObjectValue::Integer(2)}), "41"), "41");
  EXPECT_EQ(Decode(Dict({Name("Filter"), Name("ASCIIHexDecode")}), "41 42>"), "AB");
  EXPECT_EQ(Decode(Dict({Name("Filter"), Array({Name("ASCII85Decode"), Name("ASCIIHexDecode")}),
                         Name("DecodeParms"), ObjectValue::Null()}),
                   "1bggB4o~>"),
            "AB");
  // Inline images may abbreviate keys and names.
  EXPECT_EQ(Decode(Dict({Name("F"), Name("AHx")}), "4142", true), "AB");
  EXPECT_TRUE(Failure(Dict({Name("Filter"), Name("AHx")})).IsRuntime(runtime::kUnsupported));
}

// ASCII base-85 of `bytes`, with the end mark.
std::string Ascii85(const std::string& bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 4) {
    uint32_t word = 0;
    const size_t n = std::min<size_t>(4, bytes.size() - i);
    for (size_t k = 0; k < 4; ++k) word = word << 8 | (k < n ? static_cast<uint8_t>(bytes[i + k]) : 0u);
    char digits[5];
    for (int k = 4; k >= 0; --k, word /= 85) digits[k] = static_cast<char>('!' + word % 85);
    out.append(digits, n + 1);
  }
  return out + "~>";
}

TEST_F(FilterChainBuilderTest, FiltersApplyInArrayOrderTheFirstInnermost) {
  const std::string text = "Type 3 glyph procedures, compressed and then armoured.";
  uLongf size = compressBound(text.size());
  std::string compressed(size, '\0');
  compress(reinterpret_cast<Bytef*>(compressed.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
           text.size());
  compressed.resize(size);
  EXPECT_EQ(Decode(Dict({Name("Filter"), Array({Name("ASCII85Decode"), Name("FlateDecode")})}), Ascii85(compressed)),
            text);
  // Inline images: the abbreviations for both.
  EXPECT_EQ(Decode(Dict({Name("F"), Array({Name("A85"), Name("Fl")})}), Ascii85(compressed), true), text);
}

TEST_F(FilterChainBuilderTest, ParametersThroughReferences) {
  // 2-byte rows, PNG Up on the second row.
  std::string rows = testing::Bytes({0, 1, 2, 2, 1, 1});
  uLongf size = compressBound(rows.size());
  std::string compressed(size, '\0');
  compress(reinterpret_cast<Bytef*>(compressed.data()), &size,
           reinterpret_cast<const Bytef*>(rows.data()), rows.size());
  compressed.resize(size);
  objects_.Define(7, Dict({Name("Predictor"), ObjectValue::Integer(12), Name("Columns"),
                           ObjectValue::Integer(2)}));
  ObjectValue stream = Dict({Name("Filter"), Array({Name("FlateDecode")}), Name("DecodeParms"),
                             Array({store_->Reference(7, 0)})});
  EXPECT_EQ(Decode(stream, compressed), testing::Bytes({1, 2, 2, 3}));
}

TEST_F(FilterChainBuilderTest, MalformedFilterEntries) {
  struct Case {
    const char* name;
    ObjectValue dictionary;
    uint32_t code;
  };
  const Case cases[] = {
      {"unknown name", Dict({Name("Filter"), Name("Crypt")}), runtime::kUnsupported},
      {"filter is a number", Dict({Name("Filter"), ObjectValue::Integer(3)}), runtime::kMalformed},
      {"parameter arrays differ",
       Dict({Name("Filter"), Array({Name("AHx"), Name("AHx")}), Name("DecodeParms"),
             Array({ObjectValue::Null()})}),
       runtime::kMalformed},
      {"a number among the names", Dict({Name("Filter"), Array({ObjectValue::Integer(1)})}),
       runtime::kMalformed},
      {"parameters not a dictionary",
       Dict({Name("Filter"), Name("LZWDecode"), Name("DecodeParms"), ObjectValue::Integer(1)}),
       runtime::kMalformed},
      {"parameter of the wrong type",
       Dict({Name("Filter"), Name("LZWDecode"), Name("DecodeParms"),
             Dict({Name("EarlyChange"), Name("Yes")})}),
       runtime::kMalformed},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(Failure(c.dictionary, true).IsRuntime(c.code)) << c.name;
  }
}

}  // namespace
}  // namespace streams
