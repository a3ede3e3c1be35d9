export const factor = 21;
