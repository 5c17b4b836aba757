// The editor's right-hand zone. It keeps no copy of the scheme: every view is
// drawn from the editor state and every edit is one command.

import { useCallback, useMemo } from 'react';
import {
  collectPointIds,
  type Condition,
  type ElementType,
  type SchemeElement,
} from '../../scheme';
import { useSymbolEntries } from '../../symbols';
import { Button, Section } from '../kit';
import {
  schemeIdProblems,
  useEditor,
  useSchemeCatalog,
  type CatalogScheme,
  type ElementPatch,
} from '../model';
import { useLivePoint, usePointCatalog } from './dataSource';
import {
  commonFields,
  elementTypeLabels,
  fieldsForType,
  type FieldDescriptor,
  type FieldOption,
} from './fields';
import { FieldList } from './FieldList';
import { pointOptions, type PointOption } from './points';
import { RuleEditor } from './RuleEditor';
import {
  AlignButtons,
  DataBindingSection,
  LinkField,
  SchemeIdentityEditor,
  SchemeSizeEditor,
} from './sections';

const NOTHING_SELECTED =
  'Ничего не выделено. Перетащите элемент из палитры слева на схему или щёлкните по уже размещённому элементу, чтобы увидеть его свойства.';
const NOT_FOUND = 'Элемент не найден. Выберите другой в палитре.';
const RULES_UNREADABLE =
  'Правила этого элемента записаны не списком и здесь не показываются; они сохраняются как есть.';

function byGroup(fields: readonly FieldDescriptor[], group: FieldDescriptor['group']) {
  return fields.filter((field) => field.group === group);
}

function textOf(value: unknown): string {
  return typeof value === 'string' ? value : '';
}

function pointIdOf(element: SchemeElement | undefined): string | undefined {
  const pointId: unknown = element?.pointId;
  return typeof pointId === 'string' && pointId !== '' ? pointId : undefined;
}

export function PropertyInspector() {
  const { state, dispatch } = useEditor();
  const { scheme, selectedIds } = state;
  const catalog = useSchemeCatalog();

  const symbols = useSymbolEntries();
  const symbolOptions = useMemo<FieldOption[]>(
    () => symbols.map((entry) => ({ value: entry.symbolId, label: entry.label })),
    [symbols],
  );
  const catalogue = usePointCatalog();
  const elements = scheme.elements;
  const tagOptions = useMemo(
    () => pointOptions(catalogue, collectPointIds(scheme)),
    [catalogue, scheme],
  );

  const single =
    selectedIds.length === 1
      ? elements.find((element) => element.id === selectedIds[0])
      : undefined;
  const live = useLivePoint(pointIdOf(single));

  const updateSingle = useCallback(
    (patch: ElementPatch) => {
      if (single !== undefined) dispatch({ type: 'update', id: single.id, patch });
    },
    [dispatch, single],
  );

  if (selectedIds.length === 0) {
    return (
      <div className="orvo-props">
        <div className="orvo-props__empty" data-testid="props-empty">
          {NOTHING_SELECTED}
        </div>
        <Section title="Рабочая область">
          <SchemeIdentityEditor
            name={textOf(scheme.name)}
            id={textOf(scheme.id)}
            idProblems={schemeIdProblems(scheme.id, catalog.schemes, catalog.ownFileName(scheme))}
            onName={(name) => dispatch({ type: 'setSchemeName', name })}
            onId={(id) => dispatch({ type: 'setSchemeId', id })}
          />
          <SchemeSizeEditor
            size={scheme.size}
            onResize={(size) => dispatch({ type: 'setSchemeSize', size })}
          />
        </Section>
      </div>
    );
  }

  if (selectedIds.length > 1) {
    return (
      <MultiView
        elements={elements}
        selectedIds={selectedIds}
        symbolOptions={symbolOptions}
        onPatch={(patch) => dispatch({ type: 'updateMany', ids: selectedIds, patch })}
        onAlign={(mode) => dispatch({ type: 'align', ids: selectedIds, mode })}
        onRemove={() => dispatch({ type: 'remove', ids: selectedIds })}
      />
    );
  }

  if (single === undefined) {
    return (
      <div className="orvo-props__empty" data-testid="props-empty">
        {NOT_FOUND}
      </div>
    );
  }

  return (
    <SingleView
      el={single}
      symbolOptions={symbolOptions}
      tagOptions={tagOptions}
      schemes={catalog.schemes}
      live={live}
      onPatch={updateSingle}
      onRemove={() => dispatch({ type: 'remove', ids: [single.id] })}
    />
  );
}

interface SingleViewProps {
  el: SchemeElement;
  symbolOptions: readonly FieldOption[];
  tagOptions: readonly PointOption[];
  schemes: readonly CatalogScheme[];
  live: ReturnType<typeof useLivePoint>;
  onPatch: (patch: ElementPatch) => void;
  onRemove: () => void;
}

function SingleView({
  el,
  symbolOptions,
  tagOptions,
  schemes,
  live,
  onPatch,
  onRemove,
}: SingleViewProps) {
  const fields = fieldsForType(el.type);
  const conditions: unknown = el.conditions;
  return (
    <div className="orvo-props">
      <div className="orvo-props__head">
        <div className="orvo-props__title">
          <div className="orvo-props__type" data-testid="props-type">
            {Object.prototype.hasOwnProperty.call(elementTypeLabels, el.type)
              ? elementTypeLabels[el.type]
              : String(el.type)}
          </div>
          <div className="orvo-props__id" data-testid="props-id">
            {el.id}
          </div>
        </div>
      </div>
      <Section title="Положение и размер">
        <FieldList
          el={el}
          specs={byGroup(fields, 'geometry')}
          onPatch={onPatch}
          symbolOptions={symbolOptions}
        />
      </Section>
      <Section title="Внешний вид">
        <FieldList
          el={el}
          specs={byGroup(fields, 'appearance')}
          onPatch={onPatch}
          symbolOptions={symbolOptions}
        />
      </Section>
      <Section title="Данные">
        <DataBindingSection el={el} pointOptions={tagOptions} live={live} onPatch={onPatch} />
      </Section>
      <Section title="Реакция на данные">
        {conditions === undefined || Array.isArray(conditions) ? (
          <RuleEditor
            conditions={(conditions ?? []) as Condition[]}
            onChange={(list) => onPatch({ conditions: list })}
          />
        ) : (
          <>
            <div className="orvo-props__note" data-testid="rules-unreadable">
              {RULES_UNREADABLE}
            </div>
            {/* Kept untouched until the engineer chooses to start over with no rules. */}
            <Button size="sm" onClick={() => onPatch({ conditions: [] })}>
              Удалить правила
            </Button>
          </>
        )}
      </Section>
      <Section title="Переход">
        <LinkField el={el} schemes={schemes} onPatch={onPatch} />
      </Section>
      <Section title="Действия">
        <Button onClick={onRemove}>Удалить элемент</Button>
      </Section>
    </div>
  );
}

interface MultiViewProps {
  elements: readonly SchemeElement[];
  selectedIds: readonly string[];
  symbolOptions: readonly FieldOption[];
  onPatch: (patch: ElementPatch) => void;
  onAlign: Parameters<typeof AlignButtons>[0]['onAlign'];
  onRemove: () => void;
}

function MultiView({
  elements,
  selectedIds,
  symbolOptions,
  onPatch,
  onAlign,
  onRemove,
}: MultiViewProps) {
  const selected = useMemo(() => {
    const ids = new Set(selectedIds);
    return elements.filter((element) => ids.has(element.id));
  }, [elements, selectedIds]);
  const fields = useMemo(() => {
    const types: ElementType[] = [];
    for (const element of selected) {
      if (!types.includes(element.type)) types.push(element.type);
    }
    return commonFields(types);
  }, [selected]);
  const [shown, ...others] = selected;

  return (
    <div className="orvo-props">
      <div className="orvo-props__head">
        <div className="orvo-props__title">
          <div className="orvo-props__type" data-testid="props-multi">
            {`Выделено элементов: ${selectedIds.length}`}
          </div>
          <div className="orvo-props__id">Правка применяется ко всем выделенным</div>
        </div>
      </div>
      <Section title="Положение и размер">
        {shown !== undefined ? (
          <FieldList
            el={shown}
            others={others}
            specs={byGroup(fields, 'geometry')}
            onPatch={onPatch}
            symbolOptions={symbolOptions}
          />
        ) : null}
      </Section>
      <Section title="Внешний вид">
        {shown !== undefined ? (
          <FieldList
            el={shown}
            others={others}
            specs={byGroup(fields, 'appearance')}
            onPatch={onPatch}
            symbolOptions={symbolOptions}
          />
        ) : null}
      </Section>
      <Section title="Выравнивание">
        <AlignButtons onAlign={onAlign} />
      </Section>
      <Section title="Действия">
        <Button onClick={onRemove}>Удалить элементы</Button>
      </Section>
    </div>
  );
}
