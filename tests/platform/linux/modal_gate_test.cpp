#include "ui/modal_gate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrine::linux_desktop {
namespace {

// A script of gate calls: 'e' enter, 'l' leave, 'a' admit. The result records
// what admit() and leave() answered: "A"/"h" for an admitted/held pass, "R"/"-"
// for a leave that does/does not release a pass.
std::string play(const std::string& script) {
  ModalGate gate;
  std::string answers;
  for (char call : script) {
    if (call == 'e') gate.enter();
    if (call == 'a') answers += gate.admit() ? 'A' : 'h';
    if (call == 'l') answers += gate.leave() ? 'R' : '-';
  }
  return answers;
}

TEST(ModalGateTest, HoldsPassesWhileModalAndReleasesOneAtTheOutermostClose) {
  struct Case {
    std::string script;
    std::string answers;
  };
  for (const Case& c :
       std::vector<Case>{{"a", "A"},           // no modal: the pass runs
                         {"el", "-"},          // nothing fell due: nothing to release
                         {"eal", "hR"},        // one held pass, released on close
                         {"eaaal", "hhhR"},    // several passes of the timer: one release
                         {"eealal", "h-hR"},   // the inner close releases nothing
                         {"ealla", "hR-A"},    // released once; a stray leave does not underflow
                         {"llea", "--h"},      // unmatched leaves before any modal are ignored
                         {"ealeal", "hRhR"}})  // a second alert holds and releases afresh
  {
    EXPECT_EQ(play(c.script), c.answers) << c.script;
  }
}

}  // namespace
}  // namespace kestrine::linux_desktop
