# Timing constraints of blinky: the 50 MHz board oscillator; the PLL's output
# clock is derived from it.
create_clock -name clk -period 20.000 [get_ports {clk}]
derive_pll_clocks
derive_clock_uncertainty

# The push button and the LEDs have no timing relation to the clocks.
set_false_path -from [get_ports {rst_n}]
set_false_path -to [get_ports {led[*] alive}]
