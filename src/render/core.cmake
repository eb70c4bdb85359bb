# Sources of the renderer core (target_sources(tavrel_core ...)).
target_sources(tavrel_core PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/glyph_table.cpp)
