# Puts the read-me, the licence notices and the help file into the distribution folder.
# Run by the build (target distdocs) in script mode:
#   cmake -DSOURCE_DIR=... -DDIST_DIR=... -DWORK_DIR=... -DCHMCMD=... -DPYTHON=... -P help/dist.cmake
# The help file needs chmcmd (Free Pascal's fp-utils) and Python; without them it is left out
# with a message, and the rest of the folder is still made.

foreach(v SOURCE_DIR DIST_DIR WORK_DIR)
  if(NOT ${v})
    message(FATAL_ERROR "dist.cmake: ${v} is not set")
  endif()
endforeach()

# Notepad shows UTF-8 text reliably only with a byte-order mark; lines end with CR LF.
string(ASCII 239 187 191 UTF8_BOM)
function(write_windows_text src dst with_bom)
  file(READ "${src}" text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  if(with_bom)
    set(text "${UTF8_BOM}${text}")
  endif()
  file(WRITE "${dst}" "${text}")
endfunction()

file(MAKE_DIRECTORY "${DIST_DIR}/license")
write_windows_text("${SOURCE_DIR}/help/readme.txt" "${DIST_DIR}/readme.txt" TRUE)
write_windows_text("${SOURCE_DIR}/voice/tohoku-f01-COPYRIGHT.txt"
                   "${DIST_DIR}/license/tohoku-f01-COPYRIGHT.txt" FALSE)
file(GLOB notices "${SOURCE_DIR}/help/license/*.txt")
foreach(n IN LISTS notices)
  get_filename_component(name "${n}" NAME)
  write_windows_text("${n}" "${DIST_DIR}/license/${name}" FALSE)
endforeach()

if(CHMCMD AND PYTHON)
  execute_process(
    COMMAND "${PYTHON}" "${SOURCE_DIR}/help/build_chm.py" --chmcmd "${CHMCMD}"
            --work "${WORK_DIR}/chm" --out "${DIST_DIR}/movrek.chm"
    RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "The help file movrek.chm could not be built")
  endif()
else()
  message(STATUS "chmcmd (package fp-utils) or Python is missing: movrek.chm is not built")
endif()

file(WRITE "${WORK_DIR}/dist.stamp" "")
