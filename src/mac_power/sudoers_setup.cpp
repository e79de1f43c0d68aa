#include "mac_power/sudoers_setup.h"

#include <utility>

#include "mac_power/first_launch_setup.h"
#include "mac_power/power_control.h"
#include "mac_power/setup_memory.h"

namespace kestrine {

SudoersSetup::SudoersSetup(ToolRunner& runner, const UserName& user, SystemTools tools,
                           SetupFollowUp followUp)
    : runner_(runner), user_(user), tools_(std::move(tools)), followUp_(std::move(followUp)) {}

void SudoersSetup::run(Alerts& alerts, const SetupHooks& hooks) {
  SetupHooks withFollowUp = hooks;
  withFollowUp.installed = [this, &hooks] {
    if (hooks.installed) hooks.installed();
    followUpSetup();
  };
  runFirstLaunchSetup(alerts, runner_, tools_, user_.shortName(), withFollowUp);
}

void SudoersSetup::followUpSetup() {
  if (followUp_.home.empty()) return;
  if (followUp_.afterSetup) followUp_.afterSetup();
  SetupMemory memory = SetupMemory::load(followUp_.home);
  if (memory.loginItemRegistered || !followUp_.registerLoginItem) return;
  if (!followUp_.registerLoginItem()) return;
  memory.loginItemRegistered = true;
  if (followUp_.console) memory.save(followUp_.home, *followUp_.console);
}

// The listing is read within the reports' time limit: a sudo that hangs must
// not hold the start.
void SudoersSetup::upgrade(Alerts& alerts) {
  SetupMemory memory = followUp_.home.empty() ? SetupMemory{} : SetupMemory::load(followUp_.home);
  if (memory.broadRuleReported) return;
  const NarrowingOutcome outcome = narrowBroadRule(alerts, runner_, tools_, user_.shortName(),
                                                   PowerControl::kDefaultReportTimeout);
  if (outcome != NarrowingOutcome::kRuleElsewhere || followUp_.home.empty()) return;
  memory.broadRuleReported = true;
  if (followUp_.console) memory.save(followUp_.home, *followUp_.console);
}

}  // namespace kestrine
