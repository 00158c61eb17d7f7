// The phrase table: every entry in the three languages, byte for byte. German
// and Dutch texts go to IRC as single Latin-1 bytes, never as UTF-8.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "relay/base/phrases.h"

namespace {

struct Row {
    PhraseId id;
    const char* text[3]; // English, German, Dutch
};

// Written from the game's and the relay's own wording, odd spellings included.
constexpr Row kRows[] = {
        {PH_RED_FLAG_RETURNED, {"The Red Flag has returned!", "Die Rote Flagge ist zur\374ck!", "De rode vlag is terug op zijn plaats!"}},
        {PH_RED_FLAG_TAKEN, {" has taken the Red Flag!", " hat die Rote Flagge geklaut!", " heeft de rode vlag gepakt!"}},
        {PH_RED_FLAG_DROPPED, {" has dropped the Red Flag!", " hat die Rote Flagge fallen lassen!", " heeft de rode vlag laten vallen!"}},
        {PH_RED_FLAG_CAPTURED, {" has captured the Red Flag!", " hat einen Roten Flagge capture erzielt", " heeft de rode vlag veroverd!"}},
        {PH_BLUE_FLAG_RETURNED, {"The Blue Flag has returned!", "Die Blaue Flagge ist zur\374ck!", "De blauwe vlag is terug op zijn plaats!"}},
        {PH_BLUE_FLAG_TAKEN, {" has taken the Blue Flag!", " hat die Blaue Flagge geklaut!", " heeft de blauwe vlag gepakt!"}},
        {PH_BLUE_FLAG_DROPPED, {" has dropped the Blue Flag!", " hat die Blaue Flagge fallen lassen!", " heeft de blauwe vlag laten vallen!"}},
        {PH_BLUE_FLAG_CAPTURED, {" has captured the Blue Flag!", " hat einen Blauen Flagge capture erzielt", " heeft de blauwe vlag veroverd!"}},
        {PH_BOMB_DROPPED, {" has dropped the bomb!", " hat die Bombe fallen lassen!", " heeft de bom laten vallen!"}},
        {PH_BOMB_TAKEN, {" has taken the bomb!", " hat die Bombe genommen!", " heeft de bom gepakt!"}},
        {PH_BOMB_PLANTED, {" has planted the bomb!", " hat die Bombe plaziert!", " heeft de bom geplaatst!"}},
        {PH_BOMB_DEFUSED, {" has defused the bomb!", " hat die Bombe entsch\344rft!", " heeft de bom onschadelijk gemaakt!"}},
        {PH_BLUE_DESTROYED_TARGET, {"Blue team has destroyed the target!", "Das Blaue Team hat das Ziel aufgeblasen!", "Het blauwe team heeft het doelwit opgeblazen!"}},
        {PH_RED_TEAM_WIN, {"Red team win!", "Das Rote Team gewinnt!", "Het rode team wint!"}},
        {PH_BRIEFCASE_TAKEN, {" has taken the briefcase!", " hat den Koffer genommen!", " heeft het koffer gepakt."}},
        {PH_BRIEFCASE_DROPPED, {" has dropped the briefcase!", " hat den Koffer fallen lassen!", " heeft het koffer laten vallen."}},
        {PH_BRIEFCASE_RETURNED, {"The Briefcase has returned!", "Der Koffer ist zur\374ck!", "De koffer is terug!"}},
        {PH_BRIEFCASE_ESCAPED, {" has escaped with the briefcase!", " ist mit den Koffer entwischt!", " is met het koffer verdwenen!"}},
        {PH_BLUE_TEAM_WIN, {"Blue team win!", "Das Blaue Team gewinnt!", "Het blauwe team wint!"}},
        {PH_TEAM, {"Team ", "Team ", "Team "}},
        {PH_ELIMINATED, {" eliminated!", " ist tot!", " is gedood!"}},
        {PH_RED_ELIMINATED, {"Red team eliminated!", "Das Rote Team ist tot!", "Het rode team is gedood!"}},
        {PH_BLUE_ELIMINATED, {"Blue team eliminated!", "Das Blaue Team ist tot!", "Het blauwe team is gedood!"}},
        {PH_JOINED_RED, {" joined the red team.", " geht zum Roten Team.", " gaat naar team rood."}},
        {PH_JOINED_BLUE, {" joined the blue team.", " geht zum Blauen Team.", " gaat naar team blauw."}},
        {PH_JOINED_SPECTATORS, {" joined the spectators.", " geht zu Zuschauer.", " gaat naar het publiek."}},
        {PH_ENTERED_GAME, {" enter the game", " startet das Spiel", " gaat meespelen"}},
        {PH_CONNECTING, {" is connecting...", " kommt auf dem Server", " komt op de server"}},
        {PH_DISCONNECTED, {" disconnected", " hat dem Server verlassen", " heeft het server verlaten"}},
        {PH_TIMED_OUT, {" timed out", " timed out", " timed out"}},
        {PH_KICKED, {" You were kicked off of the server!", " Du bist von dem Server gekicked!", " Je werd van de server gekicked!"}},
        {PH_INACTIVITY, {" Dropped due to inactivity", " ist vom Server wegen inaktiv\344t", " is vanwege inaktiviteit weg van de server"}},
        {PH_RED_SCORE_LIMIT, {"Red Team hit the Team Score Limit", "Das Rote Team hat gewonnen", "Het rode team heeft gewonnen"}},
        {PH_BLUE_SCORE_LIMIT, {"Blue Team hit the Team Score Limit", "Das Blaue Team hat gewonnen", "Het blauwe team heeft gewonnen"}},
        {PH_PLAY_ON, {"Play on ", "Spiel hat angefangen auf ", "Spel is gestart op "}},
        {PH_STARTED, {"started", "", ""}},
        {PH_RED_WINS_ON, {"Team red wins on ", "Das Rote Team gewint auf ", "Het rode team wint op "}},
        {PH_BLUE_WINS_ON, {"Team blue wins on ", "Das Blaue Team gewint auf ", "Het blauwe team wint op "}},
        {PH_TIMELIMIT_HIT, {"Timelimit hit", "Zeitlimit erreicht", "Tijdlimiet bereikt"}},
        {PH_TIME_SET_TO, {"Time set to ", "Zeit ist jetzt ", "Tijd is nu "}},
        {PH_OBJECTIVE_TAKEN, {"has taken the objective.", "nimmt das Objektiv.", "heeft het object gepakt."}},
        {PH_OBJECTIVE_RETURNED, {"has returned the objective.", "bringt das Objektiv zur\374ck.", "heeft het object teruggebracht."}},
        {PH_MAP, {"Map: ", "Map: ", "Map: "}},
        {PH_CURRENT_GAME_TYPE, {"Current game type: ", "Spiel type: ", "Spel type: "}},
        {PH_NO_PLAYERS, {"No players on server...", "Es sind keine Spieler auf dem Server..", "Er zijn geen spelers op de server..."}},
        {PH_NO_DATA, {"No data received from server...", "Keine Daten empfangen von dem Server..", "Er werdt geen data ontvangen van de server..."}},
};

TEST(Phrases, EveryEntryInEveryLanguage)
{
    static_assert(sizeof kRows / sizeof kRows[0] == PH_COUNT, "one row per phrase");
    for (const Row& row : kRows)
        for (int lang = 0; lang < 3; ++lang)
            EXPECT_EQ(std::string(phrase(row.id, lang)), row.text[lang])
                << "phrase " << row.id << " language " << lang;
}

TEST(Phrases, UmlautsAreSingleLatin1Bytes)
{
    struct Case {
        PhraseId id;
        const char* word;
    } cases[] = {
        {PH_RED_FLAG_RETURNED, "zur\xfc" "ck!"},
        {PH_BOMB_DEFUSED, "entsch\xe4" "rft!"},
        {PH_INACTIVITY, "inaktiv\xe4" "t"},
        {PH_OBJECTIVE_RETURNED, "zur\xfc" "ck."},
    };
    for (const Case& c : cases) {
        const char* text = phrase(c.id, 1);
        EXPECT_NE(std::strstr(text, c.word), nullptr) << text;
        EXPECT_EQ(std::strchr(text, '\xc3'), nullptr) << "UTF-8 lead byte in " << text;
    }
}

TEST(Phrases, LanguagesOutsideTheTableGiveEnglish)
{
    EXPECT_STREQ(phrase(PH_MAP, -1), "Map: ");
    EXPECT_STREQ(phrase(PH_RED_TEAM_WIN, 3), "Red team win!");
    EXPECT_STREQ(phrase(PH_COUNT, 0), "");
}

} // namespace
