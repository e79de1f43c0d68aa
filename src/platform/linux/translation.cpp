#include "platform/linux/translation.h"

#include <glib.h>
#include <glib/gi18n.h>

#include <clocale>
#include <string>

namespace kestrine::linux_desktop {

namespace {

constexpr const char* kDomain = "kestrine";

// Every text of the table is a literal, so its view ends with a NUL; gettext
// hands back either its own copy or that literal, both alive for good. The
// empty text is left alone: it would look up the catalogue's header.
void translate(std::string_view& text) {
  if (!text.empty()) text = gettext(text.data());
}

void translate(NoticeWording& notice) {
  translate(notice.title);
  translate(notice.subtitle);
  translate(notice.body);
}

std::string_view ngettextPlural(const PluralText& text, std::int64_t count) {
  return ngettext(text.one.data(), text.other.data(), static_cast<unsigned long>(count));
}

}  // namespace

void openMessageCatalogues() {
  std::setlocale(LC_ALL, "");
  std::string folder = KESTRINE_LOCALEDIR;
  g_autofree gchar* program = g_file_read_link("/proc/self/exe", nullptr);
  if (program != nullptr) {
    g_autofree gchar* bin = g_path_get_dirname(program);
    g_autofree gchar* beside = g_build_filename(bin, "..", "share", "locale", nullptr);
    if (g_file_test(beside, G_FILE_TEST_IS_DIR)) folder = beside;
  }
  bindtextdomain(kDomain, folder.c_str());
  bind_textdomain_codeset(kDomain, "UTF-8");
  textdomain(kDomain);
}

Wording translatedWording() {
  Wording w = kLinuxWording;
  for (std::string_view& mode : w.powerModes) translate(mode);
  for (std::string_view& meaning : w.iconMeanings) translate(meaning);
  for (std::string_view& reason : w.switchFailures) translate(reason);
  for (std::string_view* text : {
           &w.unknownMode,
           &w.smartModeItem,
           &w.trainingItem,
           &w.thresholdItem,
           &w.fallbackThresholdItem,
           &w.thresholdChoice,
           &w.batteryItem,
           &w.powerModeItem,
           &w.aboutItem,
           &w.quitItem,
           &w.errorTitle,
           &w.batteryInfoTitle,
           &w.batteryInfoBody,
           &w.batterySource,
           &w.acSource,
           &w.batteryInfoError,
           &w.powerModeTitle,
           &w.powerModeBody,
           &w.powerModeError,
           &w.aboutBody,
           &w.aboutSmartMode,
           &w.launchTitle,
           &w.launchShown,
           &w.launchHidden,
           &w.summaryLevel,
           &w.summaryNoLevel,
           &w.summaryOnBattery,
           &w.summaryOnAc,
           &w.summaryModeUnknown,
           &w.summarySmart,
           &w.summaryThreshold,
           &w.thresholdReason,
           &w.smartReason,
           &w.fallbackReason,
           &w.help,
           &w.tooManyArguments,
           &w.unknownArgument,
       }) {
    translate(*text);
  }
  for (NoticeWording* notice :
       {&w.thresholdSwitch, &w.automaticSwitch, &w.thresholdUpdated, &w.smartModeReady,
        &w.smartModeTraining, &w.smartModeDisabled, &w.unreadableSettings, &w.alreadyRunning,
        &w.noStatusArea, &w.switchFailed, &w.settingsUnsaved, &w.learningUnsaved}) {
    translate(*notice);
  }
  w.plural = ngettextPlural;
  return w;
}

}  // namespace kestrine::linux_desktop
