# The browser build as a static site, in build/web/site: the page and its style sheet, the
# program (zantpig.js and zantpig.wasm) with its pictures, the font files it draws its
# text with, the web app manifest with the icons, and the service worker that keeps it all
# for playing offline. Any static web server can serve the folder as it is.
set(site ${CMAKE_BINARY_DIR}/site)
set(here ${CMAKE_CURRENT_LIST_DIR})

configure_file(${here}/manifest.webmanifest.in ${site}/manifest.webmanifest @ONLY)
set(copies)
function(zant_site_file from to)
  add_custom_command(OUTPUT ${site}/${to}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${from} ${site}/${to}
    DEPENDS ${from} VERBATIM)
  set(copies ${copies} ${site}/${to} PARENT_SCOPE)
endfunction()

zant_site_file(${here}/index.html index.html)
zant_site_file(${here}/zantpig.css zantpig.css)
foreach(size 32 192 512)
  zant_site_file(${PROJECT_SOURCE_DIR}/resources/icons/zantpig-${size}.png
                 icons/zantpig-${size}.png)
endforeach()
execute_process(COMMAND /usr/bin/python3 -c "import fontTools.subset"
                RESULT_VARIABLE no_fonttools OUTPUT_QUIET ERROR_QUIET)
if(no_fonttools)
  message(FATAL_ERROR "fontTools not found: it cuts the site's fonts (Debian's "
                      "python3-fonttools, which script/bootstrap web installs)")
endif()
foreach(font ${ZANT_WEB_FONTS})
  find_file(font_file_${font} ${font} PATHS /usr/share/fonts/truetype/liberation2
            /usr/share/fonts/truetype/liberation NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT font_file_${font})
    message(FATAL_ERROR "${font} not found: run script/bootstrap (fonts-liberation2)")
  endif()
  # Cut down to the characters the program can draw, each drawn as before.
  add_custom_command(OUTPUT ${site}/fonts/${font}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${site}/fonts
    COMMAND /usr/bin/python3 ${here}/subset_font.py ${font_file_${font}} ${site}/fonts/${font}
    DEPENDS ${font_file_${font}} ${here}/subset_font.py VERBATIM)
  list(APPEND copies ${site}/fonts/${font})
endforeach()

# The service worker lists every other file of the site, and names its cache after what
# they hold, so that a changed site replaces what a browser kept of the old one.
add_custom_command(OUTPUT ${site}/service-worker.js
  COMMAND ${CMAKE_COMMAND} -DSITE=${site} -DTEMPLATE=${here}/service-worker.js.in
          -DVERSION=${PROJECT_VERSION} -P ${here}/service_worker.cmake
  DEPENDS ${copies} ${site}/manifest.webmanifest zantpig ${here}/service-worker.js.in
          ${here}/service_worker.cmake
  VERBATIM)
add_custom_target(site ALL DEPENDS ${copies} ${site}/service-worker.js)
