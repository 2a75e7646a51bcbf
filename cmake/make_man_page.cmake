# Makes a gzipped man page from a program's own --help with help2man; for trasslo-cli, each
# command's help follows under COMMANDS, the commands read from the program's completion (its
# command table), so that the page names every command.
#   cmake -DHELP2MAN=... -DPROGRAM=... -DNAME=... -DVERSION=... -DOUTPUT=x.1.gz
#         [-DCOMMANDS=ON] -P make_man_page.cmake
get_filename_component(page "${OUTPUT}" NAME_WLE)
get_filename_component(folder "${OUTPUT}" DIRECTORY)
set(include_file "${folder}/${page}.include")
# Left-justified: Chinese lines have no spaces for groff to stretch.
set(include_text "[<DESCRIPTION]\n.ad l\n")
if(COMMANDS)
  execute_process(COMMAND "${PROGRAM}" completion bash OUTPUT_VARIABLE script
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT script MATCHES "local commands='([^']*)'")
    message(FATAL_ERROR "${PROGRAM} completion bash did not name its commands")
  endif()
  string(REPLACE " " ";" commands "${CMAKE_MATCH_1}")
  string(APPEND include_text "[COMMANDS]\n")
  foreach(command IN LISTS commands)
    execute_process(COMMAND "${PROGRAM}" help ${command} OUTPUT_VARIABLE help
      RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "${PROGRAM} help ${command} failed")
    endif()
    # The help as it is laid out: unfilled, with roff's escape and control characters quoted.
    string(REPLACE "\\" "\\e" help "${help}")
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
    string(APPEND include_text ".SS ${command}\n.nf\n${help}.fi\n")
  endforeach()
endif()
string(APPEND include_text "[SEE ALSO]\n${SEE_ALSO}\n")
file(WRITE "${include_file}" "${include_text}")

# help2man reads and writes text in the locale's charset: the help is UTF-8.
set(ENV{LC_ALL} C.UTF-8)
execute_process(COMMAND "${HELP2MAN}" --locale=C.UTF-8 --no-info --no-discard-stderr "--name=${NAME}"
  "--version-string=${VERSION}" "--include=${include_file}" "--output=${folder}/${page}"
  "${PROGRAM}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "help2man failed for ${PROGRAM}")
endif()
# -n: no name or time stamp inside, so that the same page makes the same bytes.
execute_process(COMMAND gzip -9nf "${folder}/${page}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip failed for ${page}")
endif()
