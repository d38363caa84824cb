# probe
