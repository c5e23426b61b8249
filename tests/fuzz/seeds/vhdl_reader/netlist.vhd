entity top is
  generic (w : integer range 0 to 7 := 3);
  port (a, b : in bit; y : out bit; d : inout bit_vector(3 downto 0));
end top;
architecture rtl of top is
  component and2 port (i0, i1 : in bit; o : out bit); end component;
  signal s : bit;
begin
  u1 : and2 port map (i0 => a, i1 => b, o => s);
  u2 : and2 port map (a, b, open);
  y <= s;
  d(3 downto 0) <= s;
  -- synopsys translate_off
  p : process (a) begin null; end process p;
  -- synopsys translate_on
end rtl;
