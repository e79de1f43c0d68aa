# The version and the copyright line are written once, here and in project();
# the files that repeat them (release notes, package changelog, AppStream
# releases, licence texts) must agree, or configuring stops with the file to
# mend. Each file is a configure dependency, so an edit is checked at the next
# build.
set(KESTRINE_COPYRIGHT "2026 The Kestrine developers")

# kestrine_expect(<file> <regex> <expected> <what>): the first line of <file>
# that matches <regex> must capture <expected> in its first group.
function(kestrine_expect file regex expected what)
  set(path ${PROJECT_SOURCE_DIR}/${file})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${path})
  file(STRINGS ${path} lines REGEX "${regex}")
  set(CMAKE_MATCH_1 "")
  if(lines)
    list(GET lines 0 first)
    string(REGEX MATCH "${regex}" first "${first}")
  endif()
  if(NOT CMAKE_MATCH_1 STREQUAL expected)
    message(FATAL_ERROR "${file}: ${what} reads '${CMAKE_MATCH_1}', not '${expected}'")
  endif()
endfunction()

# The newest entry of each changelog is the version being built (a Debian
# revision after the version, as in 1.1.0-1, is the package's own).
kestrine_expect(debian/changelog "^kestrine \\(([^)-]+)(-[^)]*)?\\)" ${PROJECT_VERSION}
                "the newest version")
kestrine_expect(CHANGELOG.md "^## ([0-9][^ ]*)" ${PROJECT_VERSION} "the newest version")
kestrine_expect(packaging/org.kestrine.Kestrine.metainfo.xml "<release version=\"([^\"]+)\""
                ${PROJECT_VERSION} "the newest release")
kestrine_expect(LICENSE "^Copyright \\(c\\) (.*)$" ${KESTRINE_COPYRIGHT} "the copyright line")
kestrine_expect(debian/copyright "^Copyright: (.*)$" ${KESTRINE_COPYRIGHT} "the copyright line")
