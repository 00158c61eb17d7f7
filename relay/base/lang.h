// Texts in the relay's three languages: 0 English, 1 German, 2 Dutch. German and
// Dutch texts are Latin-1 bytes. Logs are read in English or German (langin),
// reports are written in any of the three (langout).
#pragma once

inline constexpr int kLangEnglish = 0;
inline constexpr int kLangGerman = 1;
inline constexpr int kLangDutch = 2;

// A language number as a table index: anything out of range is English.
constexpr int lang_index(int lang)
{
    return lang >= kLangEnglish && lang <= kLangDutch ? lang : kLangEnglish;
}

// One text in the three languages. A log-side text (indexed by langin) leaves the
// Dutch entry as the English one where the game has no Dutch log.
struct LangText {
    const char* text[3];
    constexpr const char* operator[](int lang) const { return text[lang_index(lang)]; }
};

// A text searched for in the log, which is English or German.
constexpr LangText log_text(const char* english, const char* german)
{
    return {{english, german, english}};
}
