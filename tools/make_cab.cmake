# Packs a theme's staging folder into a cabinet archive, with the paths the
# files have below the folder (Theme\..., BriskLibTavrinTheme.xml).
#   cmake -DGCAB=gcab -DSTAGE=dir -DCAB=out.cab -P make_cab.cmake
file(GLOB_RECURSE entries RELATIVE ${STAGE} ${STAGE}/*)
if(NOT entries)
  message(FATAL_ERROR "nothing to pack in ${STAGE}")
endif()
list(SORT entries)
get_filename_component(cab_dir ${CAB} DIRECTORY)
file(MAKE_DIRECTORY ${cab_dir})
file(REMOVE ${CAB})
execute_process(COMMAND ${GCAB} --create --zip ${CAB} ${entries}
                WORKING_DIRECTORY ${STAGE} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gcab failed (${rc}) for ${CAB}")
endif()
