# Makes the guide's HTML pages from its Markdown pages with cmark, and copies
# the pictures the pages name from the screenshot programs' folder; a
# picture no program took fails the build.
# cmake -DCMARK=... -DSOURCE=docs/guide -DSHOTS=... -DOUT=... -P MakeGuide.cmake
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT}/pictures)
file(COPY ${SOURCE}/guide.css DESTINATION ${OUT})
file(GLOB pages ${SOURCE}/*.md)
foreach(page IN LISTS pages)
  get_filename_component(name ${page} NAME_WE)
  execute_process(COMMAND ${CMARK} --to html ${page} OUTPUT_VARIABLE body RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cmark could not read ${page}")
  endif()
  # The title is the first heading; every heading below it gets an id made
  # of its words, for links to a part of a page.
  string(REGEX MATCH "<h1>([^<]*)</h1>" title "${body}")
  set(title "${CMAKE_MATCH_1}")
  string(REGEX MATCHALL "<h2>[^<]*</h2>" headings "${body}")
  foreach(heading IN LISTS headings)
    string(REGEX REPLACE "<h2>([^<]*)</h2>" "\\1" words "${heading}")
    string(TOLOWER "${words}" id)
    string(REGEX REPLACE "[^a-z0-9]+" "-" id "${id}")
    string(REGEX REPLACE "^-|-$" "" id "${id}")
    string(REPLACE "${heading}" "<h2 id=\"${id}\">${words}</h2>" body "${body}")
  endforeach()
  string(REGEX MATCHALL "src=\"pictures/[^\"]+\"" pictures "${body}")
  foreach(picture IN LISTS pictures)
    string(REGEX REPLACE "src=\"pictures/([^\"]+)\"" "\\1" file "${picture}")
    if(NOT EXISTS ${SHOTS}/${file})
      message(FATAL_ERROR "${page} shows pictures/${file}, which no screenshot program took")
    endif()
    file(COPY ${SHOTS}/${file} DESTINATION ${OUT}/pictures)
  endforeach()
  file(WRITE ${OUT}/${name}.html "<!DOCTYPE html>
<html lang=\"en\">
<head>
<meta charset=\"utf-8\">
<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">
<title>${title} - Vantrel user guide</title>
<link rel=\"stylesheet\" href=\"guide.css\">
</head>
<body>
<nav><a href=\"index.html\">Vantrel user guide: contents</a></nav>
<main>
${body}</main>
</body>
</html>
")
endforeach()
