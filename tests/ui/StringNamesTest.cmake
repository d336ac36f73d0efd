# The string compiler refuses a table whose names the code could not rely on, and names the
# fault; a sound table gives one constant a name. A text given for one system goes into that
# system's table only, and must stand in for a plain text in every language.
#   cmake -DTOOL=<StringTableCompiler> -DWORK=<scratch folder> -P StringNamesTest.cmake
set(head "language en 1053\nlanguage es 1034\n")
set(good "name 7 Good\n7 en \"a\"\n7 es \"b\"\n")

function(run body)
  file(WRITE ${WORK}/strings.txt "${head}${body}")
  file(REMOVE ${WORK}/TextIds.h)
  execute_process(COMMAND ${TOOL} ${ARGN} ${WORK}/strings.txt ${WORK}/TextIds.h RESULT_VARIABLE rc ERROR_VARIABLE err)
  set(rc ${rc} PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

function(expect_refused what body said)
  run("${body}")
  if(rc EQUAL 0 OR NOT err MATCHES "${said}" OR EXISTS ${WORK}/TextIds.h)
    message(SEND_ERROR "${what}: expected a refusal saying '${said}', got exit ${rc}: ${err}")
  endif()
endfunction()

file(MAKE_DIRECTORY ${WORK})
expect_refused("a name given twice" "${good}name 8 Good\n8 en \"c\"\n8 es \"d\"\n" "Good is given to 7 and 8")
expect_refused("an id named twice" "${good}name 7 Other\n" "id 7 named twice")
expect_refused("an id without a name" "${good}9 en \"c\"\n9 es \"d\"\n" "id 9 has no name")
expect_refused("an id one language lacks" "${good}name 9 Half\n9 en \"c\"\n" "id 9 \\(Half\\) has no text in 'es'")
expect_refused("a name without texts" "${good}name 9 Lonely\n" "id 9 is named but has no text")
set(plain9 "name 9 Nine\n9 en \"c\"\n9 es \"d\"\n")
expect_refused("a system text one language lacks" "${plain9}9 en linux \"e\"\n" "id 9 has a linux text but none in 'es'")
expect_refused("a system text without a plain one" "name 9 Nine\n9 en linux \"e\"\n9 es linux \"f\"\n"
  "id 9 has a linux text in 'en' but no plain one")
expect_refused("an unknown system" "${plain9}9 en beos \"e\"\n" "unknown system 'beos'")
expect_refused("a system text given twice" "${plain9}9 en linux \"e\"\n9 en linux \"f\"\n" "duplicate entry 9 en linux")
expect_refused("a name that is no identifier" "name 7 good-one\n7 en \"a\"\n7 es \"b\"\n" "not PascalCase")

run("${good}")
file(READ ${WORK}/TextIds.h header)
if(NOT rc EQUAL 0 OR NOT header MATCHES "inline constexpr int Good = 7;")
  message(SEND_ERROR "a sound table: exit ${rc}: ${err}\n${header}")
endif()

# Each system's table carries its own text, continued lines included, and the other's the plain one.
set(varied "${good}7 en linux \"a on linux\"\n+\"second line\"\n7 es linux \"b en linux\"\n")
foreach(system linux windows)
  file(WRITE ${WORK}/strings.txt "${head}${varied}")
  execute_process(COMMAND ${TOOL} --system=${system} ${WORK}/strings.txt ${WORK}/${system}.rc RESULT_VARIABLE rc
    ERROR_VARIABLE err)
  file(READ ${WORK}/${system}.rc script)
  set(${system}_script "${script}")
  if(NOT rc EQUAL 0)
    message(SEND_ERROR "a table with system texts for ${system}: exit ${rc}: ${err}")
  endif()
endforeach()
if(NOT linux_script MATCHES "7, L\"a on linux\\\\x000asecond line\"" OR NOT linux_script MATCHES "7, L\"b en linux\""
   OR NOT windows_script MATCHES "7, L\"a\"" OR windows_script MATCHES "linux")
  message(SEND_ERROR "system texts were not chosen by system:\nlinux:\n${linux_script}\nwindows:\n${windows_script}")
endif()
