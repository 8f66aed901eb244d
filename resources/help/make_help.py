#!/usr/bin/env python3
"""Writes the help pages, one per UI language, into this folder.

The pages are our own: a sentence of introduction per language (below) and
the program's command names taken from the UI string table
(resources/strings/*.txt), so that the page names each command exactly as
the menus show it. Each page is named KVTD and the language identifier of
its string-table row in four lower-case hexadecimal digits.

Usage: make_help.py  (run from anywhere; rewrites the .htm files here)
"""
import html
import os

HERE = os.path.dirname(os.path.abspath(__file__))
STRINGS = os.path.join(HERE, "..", "strings")

# (file of the string-table row, language identifier, html lang, intro)
ROWS = [
    ("en", 0x409, "en", "Open PDF files, read them page by page and find text. The commands:"),
    ("ja", 0x411, "ja", "PDF ファイルを開いて、ページごとに読み、テキストを検索できます。コマンド:"),
    ("zh-CN", 0x804, "zh-CN", "打开 PDF 文件，逐页阅读并查找文字。命令："),
    ("zh-HK", 0xC04, "zh-HK", "開啟 PDF 檔案，逐頁閱讀並尋找文字。指令："),
    ("zh-TW", 0x404, "zh-TW", "開啟 PDF 檔案，逐頁閱讀並尋找文字。指令："),
    ("fr", 0x40C, "fr", "Ouvrez des fichiers PDF, lisez-les page par page et recherchez du texte. Les commandes :"),
    ("de", 0x407, "de", "Öffnen Sie PDF-Dateien, lesen Sie sie Seite für Seite und suchen Sie Text. Die Befehle:"),
    ("es", 0xC0A, "es", "Abra archivos PDF, léalos página a página y busque texto. Los comandos:"),
    ("it", 0x410, "it", "Apri file PDF, leggili pagina per pagina e cerca il testo. I comandi:"),
    ("sv", 0x41D, "sv", "Öppna PDF-filer, läs dem sida för sida och sök efter text. Kommandona:"),
    ("da", 0x406, "da", "Åbn PDF-filer, læs dem side for side, og søg efter tekst. Kommandoerne:"),
    ("nb", 0x414, "nb", "Åpne PDF-filer, les dem side for side og søk etter tekst. Kommandoene:"),
    ("fi", 0x40B, "fi", "Avaa PDF-tiedostoja, lue ne sivu kerrallaan ja etsi tekstiä. Komennot:"),
    ("pt-PT", 0x816, "pt-PT", "Abra ficheiros PDF, leia-os página a página e procure texto. Os comandos:"),
    ("tr", 0x41F, "tr", "PDF dosyalarını açın, sayfa sayfa okuyun ve metin arayın. Komutlar:"),
    ("hu", 0x40E, "hu", "Nyisson meg PDF-fájlokat, olvassa oldalanként, és keressen szöveget. A parancsok:"),
    ("nl", 0x413, "nl", "Open PDF-bestanden, lees ze pagina voor pagina en zoek tekst. De opdrachten:"),
    ("cs", 0x405, "cs", "Otevírejte soubory PDF, čtěte je stránku po stránce a hledejte text. Příkazy:"),
    ("sk", 0x41B, "sk", "Otvárajte súbory PDF, čítajte ich stranu po strane a hľadajte text. Príkazy:"),
    ("pl", 0x415, "pl", "Otwieraj pliki PDF, czytaj je strona po stronie i wyszukuj tekst. Polecenia:"),
    ("el", 0x408, "el", "Ανοίξτε αρχεία PDF, διαβάστε τα σελίδα προς σελίδα και αναζητήστε κείμενο. Οι εντολές:"),
    ("pt-BR", 0x416, "pt-BR", "Abra arquivos PDF, leia-os página por página e pesquise texto. Os comandos:"),
    ("ro", 0x418, "ro", "Deschideți fișiere PDF, citiți-le pagină cu pagină și căutați text. Comenzile:"),
    ("ru", 0x419, "ru", "Открывайте файлы PDF, читайте их постранично и ищите текст. Команды:"),
    ("ar", 0x401, "ar", "افتح ملفات PDF واقرأها صفحة بصفحة وابحث عن النص. الأوامر:"),
    ("ko", 0x412, "ko", "PDF 파일을 열고 페이지별로 읽으며 텍스트를 찾을 수 있습니다. 명령:"),
]

# The product's name heads every page; column 46 of the UI string table
# says what it does. Then the commands in groups (a heading column followed
# by its items).
PRODUCT = "Vantrel Folvane"
PURPOSE = 46
GROUPS = [
    (None, [0, 2, 49, 3, 27, 6]),
    (7, [8, 9, 10, 11, 12, 83]),
    (15, [16, 17, 18, 19, 20, 82]),
    (21, [22, 23, 24, 25, 26]),
    (28, [13, 14, 29, 30, 31]),
]


def read_row(name):
    texts = {}
    with open(os.path.join(STRINGS, name + ".txt"), encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            index, _, text = line.partition("\t")
            texts[int(index)] = text.replace("\\t", " ").replace("\\\\", "\\")
    return texts


def page(row, lang, intro):
    t = read_row(row)
    direction = ' dir="rtl"' if lang == "ar" else ""
    out = ["<!DOCTYPE html>", '<html lang="%s"%s>' % (lang, direction), "<head>", '<meta charset="utf-8">',
           "<title>%s</title>" % PRODUCT, "</head>", "<body>",
           "<h1>%s: %s</h1>" % (PRODUCT, html.escape(t[PURPOSE])), "<p>%s</p>" % html.escape(intro)]
    for heading, items in GROUPS:
        if heading is not None:
            out.append("<h2>%s</h2>" % html.escape(t[heading]))
        out.append("<ul>")
        out.extend("<li>%s</li>" % html.escape(t[i]) for i in items)
        out.append("</ul>")
    out += ["</body>", "</html>", ""]
    return "\n".join(out)


def main():
    for row, langid, lang, intro in ROWS:
        with open(os.path.join(HERE, "KVTD%04x.htm" % langid), "w", encoding="utf-8") as f:
            f.write(page(row, lang, intro))


if __name__ == "__main__":
    main()
