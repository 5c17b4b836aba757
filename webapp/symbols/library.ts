// The built-in equipment symbols, registered when this module loads, in
// palette order.
import { boiler } from './boiler';
import { gasTurbine } from './gasTurbine';
import { gauge } from './gauge';
import { generator } from './generator';
import { heatExchanger } from './heatExchanger';
import { indicatorBox } from './indicatorBox';
import { pump } from './pump';
import { registerSymbol } from './registry';
import { tank } from './tank';
import { valve } from './valve';

registerSymbol('tank', tank);
registerSymbol('pump', pump);
registerSymbol('valve', valve);
registerSymbol('indicator-box', indicatorBox);
registerSymbol('gauge', gauge);
registerSymbol('gas-turbine', gasTurbine);
registerSymbol('boiler', boiler);
registerSymbol('generator', generator);
registerSymbol('heat-exchanger', heatExchanger);
