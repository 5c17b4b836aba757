// Topic layout under the configured prefix:
//   PREFIX/<point id>      retained value of a point
//   PREFIX/$catalogue      retained catalogue (a JSON list of point records)
//   PREFIX/<point id>/set  commands to a point (QoS 1, not retained)

export const CATALOGUE_LEVEL = '$catalogue';

/** The one subscription that carries every value and the catalogue, but not commands. */
export function subscriptionTopic(prefix: string): string {
  return `${prefix}/+`;
}

export function commandTopic(prefix: string, pointId: string): string {
  return `${prefix}/${pointId}/set`;
}

/** Whether `id` can name a point in a topic: not empty, no level separator, no wildcard. */
export function isTopicSafeId(id: string): boolean {
  return id !== '' && !/[/+#\0]/.test(id) && id !== CATALOGUE_LEVEL;
}

/** The level below the prefix, or nothing for a topic outside it or deeper down. */
export function levelOf(prefix: string, topic: string): string | undefined {
  if (!topic.startsWith(`${prefix}/`)) return undefined;
  const level = topic.slice(prefix.length + 1);
  return level === '' || level.includes('/') ? undefined : level;
}
