# Constraints of the blinky board: the second source file, pins and I/O standards.
# The build merges this file into the project's user constraints, which the
# project script sources after its own assignments.
set_global_assignment -name VHDL_FILE blinky_pll.vhd

set_location_assignment PIN_AP32 -to clk
set_location_assignment PIN_AM31 -to rst_n
set_location_assignment PIN_AP33 -to {led[0]}
set_location_assignment PIN_AM34 -to {led[1]}
set_location_assignment PIN_AP31 -to {led[2]}
set_location_assignment PIN_AK33 -to {led[3]}
set_location_assignment PIN_AL33 -to {led[4]}
set_location_assignment PIN_AM33 -to {led[5]}
set_location_assignment PIN_AN33 -to {led[6]}
set_location_assignment PIN_AN32 -to {led[7]}
set_location_assignment PIN_AN31 -to alive

set_instance_assignment -name IO_STANDARD "2.5 V" -to clk
set_instance_assignment -name IO_STANDARD "2.5 V" -to rst_n
set_instance_assignment -name IO_STANDARD "2.5 V" -to {led[*]}
set_instance_assignment -name IO_STANDARD "2.5 V" -to alive
