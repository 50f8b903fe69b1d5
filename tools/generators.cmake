# Build-time data: the star light patterns and the textures, written into the data folder and
# installed with the rest of it (resources/ installs the whole folder).
add_executable(generate_light_patterns ${CMAKE_CURRENT_LIST_DIR}/generate_light_patterns.cpp)
target_link_libraries(generate_light_patterns PRIVATE quorbel_imaging)
set(_light_patterns ${QUORBEL_DATA_DIR}/star0.lit ${QUORBEL_DATA_DIR}/star1.lit ${QUORBEL_DATA_DIR}/star2.lit)
add_custom_command(OUTPUT ${_light_patterns}
  COMMAND generate_light_patterns ${QUORBEL_DATA_DIR}
  DEPENDS generate_light_patterns
  COMMENT "Writing the star light patterns")

add_executable(generate_textures ${CMAKE_CURRENT_LIST_DIR}/generate_textures.cpp)
target_link_libraries(generate_textures PRIVATE quorbel_imaging)
set(QUORBEL_TEXTURES marble wood brushed_metal noise bricks granite clouds gradient_sunset gradient_ocean
    tile_mosaic tile_dots tile_hexagons tile_scales tile_bricks)
set(_textures)
foreach(t ${QUORBEL_TEXTURES})
  list(APPEND _textures ${QUORBEL_DATA_DIR}/texture/${t}.png)
endforeach()
add_custom_command(OUTPUT ${_textures}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QUORBEL_DATA_DIR}/texture
  COMMAND generate_textures ${QUORBEL_DATA_DIR}/texture
  DEPENDS generate_textures
  COMMENT "Writing the textures")

add_custom_target(quorbel_generated_data ALL DEPENDS ${_light_patterns} ${_textures})
# Everything that needs the data folder (tests, benchmarks, the program) already waits for
# quorbel_resources, which is defined later in the resources folder.
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR}
  CALL add_dependencies quorbel_resources quorbel_generated_data)

# One sample picture per effect type for the style editor's list, drawn by our own engine.
add_executable(generate_effect_samples ${CMAKE_CURRENT_LIST_DIR}/generate_effect_samples.cpp)
target_link_libraries(generate_effect_samples PRIVATE quorbel_render)
set(QUORBEL_EFFECT_KEYS SingleColor OutLine DropShadow LinearGradient DepthField DisturbTemplet StarFilter
    Tile 3dSingleColor RoundBox Fog Space CutOut OuterGlow InnerGlow InnerShadow Stroke BevelEmboss Satin
    GradientOverlay)
set(_samples)
foreach(k ${QUORBEL_EFFECT_KEYS})
  list(APPEND _samples ${QUORBEL_DATA_DIR}/samples/${k}.png)
endforeach()
add_custom_command(OUTPUT ${_samples}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QUORBEL_DATA_DIR}/samples
  COMMAND generate_effect_samples ${QUORBEL_DATA_DIR}
  DEPENDS generate_effect_samples ${_light_patterns} ${_textures}
  COMMENT "Writing the effect sample pictures")
add_custom_target(quorbel_effect_samples ALL DEPENDS ${_samples})
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR}
  CALL add_dependencies quorbel_resources quorbel_effect_samples)
