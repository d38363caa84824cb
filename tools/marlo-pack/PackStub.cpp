// placeholder until the packing tool lands
