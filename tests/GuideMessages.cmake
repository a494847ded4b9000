# Every message the guide's table of messages quotes is one the program shows:
# each piece of its text between the "..." that stand for names and numbers
# is in the sources or the serial catalog, so a reworded message cannot leave
# the guide explaining one that no longer appears.
# cmake -DGUIDE=<instrukcja.md> -DSOURCE_DIR=<repository> -P GuideMessages.cmake
file(READ ${GUIDE} guide)
string(FIND "${guide}" "\n## Komunikaty" begin)
if(begin EQUAL -1)
  message(FATAL_ERROR "${GUIDE}: no section of messages")
endif()
math(EXPR begin "${begin} + 1")
string(SUBSTRING "${guide}" ${begin} -1 section)
# Up to the next section, if any.
string(FIND "${section}" "\n## " end)
string(SUBSTRING "${section}" 0 ${end} section)
# A semicolon would split CMake's lists: it splits the text as "..." does.
string(REPLACE ";" "..." section "${section}")

file(GLOB_RECURSE sources ${SOURCE_DIR}/src/*.cpp ${SOURCE_DIR}/src/*.h)
set(program "")
foreach(source IN LISTS sources ITEMS ${SOURCE_DIR}/po/cport/pl.po)
  file(READ ${source} text)
  string(APPEND program "${text}")
endforeach()

string(REGEX MATCHALL "\n\\| „[^”]+”" quoted "${section}")
list(LENGTH quoted count)
if(count LESS 10)
  message(FATAL_ERROR "only ${count} messages in the guide's table")
endif()
foreach(row IN LISTS quoted)
  string(REGEX REPLACE "\n\\| „([^”]+)”" "\\1" message "${row}")
  string(REPLACE "..." ";" pieces "${message}")
  foreach(piece IN LISTS pieces)
    string(STRIP "${piece}" piece)
    string(LENGTH "${piece}" length)
    if(length LESS 3)
      continue()
    endif()
    string(FIND "${program}" "${piece}" at)
    if(at EQUAL -1)
      message(SEND_ERROR "the guide quotes \"${piece}\", which the program does not show")
    endif()
  endforeach()
endforeach()
