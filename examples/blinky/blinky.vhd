-- Blinky: eight LEDs show the top bits of a counter that runs on a PLL output
-- clock, so they count visibly; a second counter on the board oscillator
-- drives a heartbeat LED.
library ieee;
use ieee.std_logic_1164.all;
use ieee.numeric_std.all;

entity blinky is
    generic (
        COUNTER_WIDTH : natural := 28
    );
    port (
        clk   : in  std_logic;                    -- 50 MHz board oscillator
        rst_n : in  std_logic;                    -- push button, low while pressed
        led   : out std_logic_vector(7 downto 0); -- user LEDs
        alive : out std_logic                     -- heartbeat LED
    );
end entity blinky;

architecture rtl of blinky is
    component blinky_pll is
        generic (
            MULTIPLY_BY : positive := 2;
            DIVIDE_BY   : positive := 1
        );
        port (
            refclk   : in  std_logic;
            rst      : in  std_logic;
            outclk_0 : out std_logic;
            locked   : out std_logic
        );
    end component;

    signal pll_reset  : std_logic;
    signal clk_fast   : std_logic;
    signal locked     : std_logic;
    signal reset_sync : std_logic_vector(1 downto 0) := (others => '1');
    signal counter    : unsigned(COUNTER_WIDTH - 1 downto 0) := (others => '0');
    signal beat       : unsigned(24 downto 0) := (others => '0');
begin
    pll_reset <= not rst_n;

    -- 100 MHz from the 50 MHz oscillator.
    pll_inst : blinky_pll
        generic map (MULTIPLY_BY => 2, DIVIDE_BY => 1)
        port map (refclk => clk, rst => pll_reset, outclk_0 => clk_fast, locked => locked);

    -- Hold the counter in reset until two fast clock edges after the PLL locks.
    sync : process (clk_fast, locked)
    begin
        if locked = '0' then
            reset_sync <= (others => '1');
        elsif rising_edge(clk_fast) then
            reset_sync <= reset_sync(0) & '0';
        end if;
    end process;

    count : process (clk_fast)
    begin
        if rising_edge(clk_fast) then
            if reset_sync(1) = '1' then
                counter <= (others => '0');
            else
                counter <= counter + 1;
            end if;
        end if;
    end process;

    led <= std_logic_vector(counter(COUNTER_WIDTH - 1 downto COUNTER_WIDTH - 8));

    heartbeat : process (clk)
    begin
        if rising_edge(clk) then
            beat <= beat + 1;
        end if;
    end process;

    alive <= beat(beat'high);
end architecture rtl;
