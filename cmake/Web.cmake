# The page, build-web/d88cut.html: the core compiled to WebAssembly with
# Debian's emscripten, and the page's shell, stylesheet, script and zip
# library from web/, all in one self-contained file that fetches nothing.
# The top-level file includes this instead of the programs, the tests and
# the packages when the compiler is Emscripten's.

# The shell with the stylesheet, the script and the zip library in place;
# emcc then puts its own script and the WebAssembly into it.
file(GLOB zipLibrary ${PROJECT_SOURCE_DIR}/web/vendor/fflate-*.min.js)
set(webSources
  ${PROJECT_SOURCE_DIR}/web/shell.html
  ${PROJECT_SOURCE_DIR}/web/d88cut.css
  ${PROJECT_SOURCE_DIR}/web/d88cut.js
  ${PROJECT_SOURCE_DIR}/web/lang/en.json
  ${PROJECT_SOURCE_DIR}/web/lang/ja.json
  ${zipLibrary}
)
set(webShell ${CMAKE_BINARY_DIR}/web/shell.html)
add_custom_command(
  OUTPUT ${webShell}
  COMMAND ${CMAKE_COMMAND} -DSOURCES=${PROJECT_SOURCE_DIR}/web -DOUTPUT=${webShell}
          -DVERSION=${PROJECT_VERSION} -P ${PROJECT_SOURCE_DIR}/cmake/InlineShell.cmake
  DEPENDS ${webSources} ${PROJECT_SOURCE_DIR}/cmake/InlineShell.cmake
  VERBATIM
)
add_custom_target(web_shell DEPENDS ${webShell})

add_executable(d88cut_page src/web/bridge.cpp)
target_link_libraries(d88cut_page PRIVATE d88cut_report)
# The sample set's builder, shared with make_sample_set.
target_include_directories(d88cut_page PRIVATE tools/sample_set)
add_dependencies(d88cut_page web_shell)
set_target_properties(d88cut_page PROPERTIES OUTPUT_NAME d88cut SUFFIX .html
  LINK_DEPENDS ${webShell}
  # The link step runs node on emscripten's scripts, which need acorn from
  # Debian's node modules; the web preset sets this too, for the compiler
  # checks at configure time.
  CXX_LINKER_LAUNCHER "${CMAKE_COMMAND};-E;env;NODE_PATH=/usr/share/nodejs")
target_link_options(d88cut_page PRIVATE
  --shell-file ${webShell}
  # The WebAssembly goes into the page as base64 and is decoded there,
  # not fetched, so the page works from file:// and under its policy.
  -sSINGLE_FILE=1
  # Emscripten's HTML minifier fails on this output.
  -sMINIFY_HTML=0
  # The page runs the core in a Worker, made from the core's script.
  -sENVIRONMENT=web,worker
  # One D88 file may hold 64 images of 416,688 bytes, and the folder
  # grows with every file handled.
  -sALLOW_MEMORY_GROWTH=1
  # No eval and no new Function, which the page's policy forbids.
  -sDYNAMIC_EXECUTION=0
  -sEXPORTED_FUNCTIONS=_main
  -sEXPORTED_RUNTIME_METHODS=ccall,UTF8ToString,FS
)

# The policy runs the page's own scripts by their hashes, taken once emcc
# has put its script in; node is emscripten's own.
find_program(nodeProgram NAMES node nodejs REQUIRED)
add_custom_command(TARGET d88cut_page POST_BUILD
  COMMAND ${nodeProgram} ${PROJECT_SOURCE_DIR}/tools/web/hash_scripts.js $<TARGET_FILE:d88cut_page>
  VERBATIM)
