# Gathers the core's templates under the one context the window looks them
# up in: lupdate files a template (N_) under the class or namespace it is
# written in, while the core's words carry no such context. The window's own
# texts (tr() in tscard::app classes) keep theirs.
# Usage: cmake -DIN=catalogue.ts -DOUT=catalogue_for_lrelease.ts -P core_catalogue.cmake
file(READ "${IN}" catalogue)
string(REPLACE "<name>tscard::app::" "<name>@window@::" catalogue "${catalogue}")
string(REGEX REPLACE "<name>tscard::[A-Za-z_0-9:]+</name>" "<name>tscard</name>" catalogue "${catalogue}")
string(REGEX REPLACE "<name>[A-Za-z_0-9]*</name>" "<name>tscard</name>" catalogue "${catalogue}")
string(REPLACE "<name>@window@::" "<name>tscard::app::" catalogue "${catalogue}")
file(WRITE "${OUT}" "${catalogue}")
