// Our own translations of the few texts the device itself shows.
#include "platform/SystemTexts.h"

namespace platform {
namespace {

struct DeviceTexts {
  LANGID language;  // an exact language, or a primary language (low 10 bits)
  const char16_t* texts[4];  // OK, Yes, No, Cancel
};

// Exact languages first (the Chinese scripts), then primary languages.
constexpr DeviceTexts kDeviceTexts[] = {
    {0x0404, {u"確定", u"是", u"否", u"取消"}},
    {0x0C04, {u"確定", u"是", u"否", u"取消"}},
    {0x0004, {u"确定", u"是", u"否", u"取消"}},
    {0x0009, {u"OK", u"Yes", u"No", u"Cancel"}},
    {0x0011, {u"OK", u"はい", u"いいえ", u"キャンセル"}},
    {0x000C, {u"OK", u"Oui", u"Non", u"Annuler"}},
    {0x0007, {u"OK", u"Ja", u"Nein", u"Abbrechen"}},
    {0x000A, {u"Aceptar", u"Sí", u"No", u"Cancelar"}},
    {0x0010, {u"OK", u"Sì", u"No", u"Annulla"}},
    {0x001D, {u"OK", u"Ja", u"Nej", u"Avbryt"}},
    {0x0006, {u"OK", u"Ja", u"Nej", u"Annuller"}},
    {0x0014, {u"OK", u"Ja", u"Nei", u"Avbryt"}},
    {0x000B, {u"OK", u"Kyllä", u"Ei", u"Peruuta"}},
    {0x0016, {u"OK", u"Sim", u"Não", u"Cancelar"}},
    {0x001F, {u"Tamam", u"Evet", u"Hayır", u"İptal"}},
    {0x000E, {u"OK", u"Igen", u"Nem", u"Mégse"}},
    {0x0013, {u"OK", u"Ja", u"Nee", u"Annuleren"}},
    {0x0005, {u"OK", u"Ano", u"Ne", u"Storno"}},
    {0x001B, {u"OK", u"Áno", u"Nie", u"Zrušiť"}},
    {0x0015, {u"OK", u"Tak", u"Nie", u"Anuluj"}},
    {0x0008, {u"OK", u"Ναι", u"Όχι", u"Άκυρο"}},
    {0x0018, {u"OK", u"Da", u"Nu", u"Anulare"}},
    {0x0019, {u"ОК", u"Да", u"Нет", u"Отмена"}},
    {0x0001, {u"موافق", u"نعم", u"لا", u"إلغاء"}},
    {0x0012, {u"확인", u"예", u"아니요", u"취소"}},
};

}  // namespace

const char16_t* GetSystemText(SystemText text, LANGID language) {
  const auto slot = static_cast<size_t>(text);
  for (const auto& entry : kDeviceTexts) {
    if (entry.language == language) return entry.texts[slot];
  }
  for (const auto& entry : kDeviceTexts) {
    if (entry.language == (language & 0x3FF)) return entry.texts[slot];
  }
  return kDeviceTexts[3].texts[slot];
}

}  // namespace platform
