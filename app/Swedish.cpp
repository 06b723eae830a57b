#include "app/Swedish.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstring>
#include <utility>

namespace tralvik {

namespace {

// The texts of Qt's file dialog that Debian's Swedish translation of Qt
// leaves in English.
class SwedishExtras : public QTranslator {
  public:
    bool isEmpty() const override { return false; }
    QString translate(const char*, const char* source, const char*, int) const override {
        static const std::pair<const char*, const char*> kTexts[] = {
            {"Look in:", "Leta i:"},  {"Computer", "Dator"},   {"Cancel", "Avbryt"},   {"&Cancel", "&Avbryt"},
            {"Folder", "Mapp"},       {"Back", "Bakåt"},       {"Forward", "Framåt"},  {"%1 bytes", "%1 byte"},
            {"Parent Directory", "Överordnad mapp"},           {"Create New Folder", "Skapa ny mapp"},
            {"List View", "Listvy"},  {"Detail View", "Detaljvy"}};
        for (const auto& [english, swedish] : kTexts)
            if (std::strcmp(source, english) == 0) return QString::fromUtf8(swedish);
        return {};
    }
};

} // namespace

void SpeakSwedish() {
    // The window's own figures are formatted without the locale: only Qt's
    // dialogs see it.
    QLocale::setDefault(QLocale(QLocale::Swedish, QLocale::Sweden));
    static QTranslator qt;
    if (qt.load(QLocale(QLocale::Swedish, QLocale::Sweden), "qt", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qt);
    static SwedishExtras extras; // searched first: installed last
    QApplication::installTranslator(&extras);
}

} // namespace tralvik
