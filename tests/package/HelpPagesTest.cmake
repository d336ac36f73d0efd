# The help pages of both languages describe the same program: the same sections (the Settings
# page's and the anchors links point to), the same options and list entries, and each page links
# to the other.
#   cmake -DHELP=<help folder> -P HelpPagesTest.cmake
function(shape file out)
  file(READ ${file} page)
  string(REGEX MATCHALL "id=\"[a-z]+\"|<dt>|<li>|<h2" marks "${page}")
  set(${out} "${marks}" PARENT_SCOPE)
endfunction()
shape(${HELP}/quenvor.htm english)
shape(${HELP}/quenvor-es.htm spanish)
if(NOT english STREQUAL spanish)
  message(SEND_ERROR "the help pages differ in shape:\nen: ${english}\nes: ${spanish}")
endif()
file(READ ${HELP}/quenvor.htm en)
file(READ ${HELP}/quenvor-es.htm es)
if(NOT en MATCHES "<html lang=\"en\">" OR NOT en MATCHES "href=\"quenvor-es.htm\""
   OR NOT es MATCHES "<html lang=\"es\">" OR NOT es MATCHES "href=\"quenvor.htm\"")
  message(SEND_ERROR "each help page names its language and links to the other")
endif()
