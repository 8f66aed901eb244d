#include "pdf/KeywordMatcher.h"

#include "pdf/PdfCharClass.h"

namespace pdf {
namespace {

uint16_t Lookup(const KeywordTable* table, uint8_t byte) {
  if (table == nullptr || byte < table->first || byte > table->last) return 0;
  return table->entries[byte - table->first];
}

}  // namespace

int KeywordMatcher::Match(streams::DataStream& stream, const KeywordTables& tables,
                          KeywordSink& sink) {
  if (!stream.Fill(false)) return sink.OnEndOfData();
  const KeywordTable* table = tables.root;
  for (;;) {
    const uint16_t entry = Lookup(table, *stream.Cursor());
    if (entry == 0) return sink.OnNoMatch();
    if (entry >= kFirstHandler) return sink.RunHandler(entry);
    if (entry > tables.rowCount) return sink.OnNoMatch();
    const KeywordRow& row = tables.rows[entry - 1];
    stream.Advance(1);
    for (const char* suffix = row.suffix; suffix != nullptr && *suffix != '\0'; ++suffix) {
      if (!stream.Fill(false) || *stream.Cursor() != static_cast<uint8_t>(*suffix)) {
        return sink.OnNoMatch();
      }
      stream.Advance(1);
    }
    const bool ended = !stream.Fill(false) || IsTokenEnd(*stream.Cursor());
    if (ended || row.next == nullptr) {
      // A keyword run straight into further regular bytes is another word.
      if (!ended || row.handler == 0) return sink.OnNoMatch();
      return sink.RunHandler(row.handler);
    }
    table = row.next;
  }
}

}  // namespace pdf
